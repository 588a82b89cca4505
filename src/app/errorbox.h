#pragma once

#include <string>
#include <string_view>

namespace ostrel::app {

// The text of the error box: the message, with a "." added when it is not empty and its last character
// sorts after "." in the code page ("Failed" gets one; "Klaar.", "Fout!" and "'x'" do not).
std::string ErrorBoxText(std::string_view message);

} // namespace ostrel::app
