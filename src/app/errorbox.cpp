#include "app/errorbox.h"

namespace ostrel::app {

// "Sorts after '.'" is by the character's code in the code page: letters, digits and everything
// from "/" on get the full stop; the blank and "!", "'", "+", "-", "." and the rest below it do not.
std::string ErrorBoxText(std::string_view message)
{
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

} // namespace ostrel::app
