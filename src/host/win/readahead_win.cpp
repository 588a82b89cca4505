#include "host/readahead.h"

namespace ostrel::host {

// Windows' prefetcher reads what a program's start needs by itself.
void ReadAhead(std::vector<std::string>) {}

} // namespace ostrel::host
