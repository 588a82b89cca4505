// On Windows a smart card's own driver asks for its PIN when a key is used.
#include "host/tokenpin.h"

namespace ostrel::host {

void AnswerTokenPins(PinQuestion) {}

} // namespace ostrel::host
