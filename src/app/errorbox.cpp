#include "app/errorbox.h"

#include <string_view>

namespace ostrel::app {

namespace {
// The characters that sort at or before "." in Windows' sort order of the code page: control
// characters, the blank and the punctuation below. Unlike in byte order, the apostrophe, the
// hyphen and the plus sort after it, so "...for 'DisplayVersion'" gets its full stop.
bool sortsAtOrBeforeFullStop(unsigned char c)
{
    constexpr std::string_view kAtOrBefore = " !\"#$%&()*,.";
    return c < 0x20 || c == 0x7F || kAtOrBefore.find(static_cast<char>(c)) != std::string_view::npos;
}
} // namespace

std::string ErrorBoxText(std::string_view message)
{
    std::string text(message);
    if (!text.empty() && !sortsAtOrBeforeFullStop(static_cast<unsigned char>(text.back())))
        text += '.';
    return text;
}

} // namespace ostrel::app
