#pragma once

#include <string>
#include <string_view>

namespace ostrel::app {

// The text of the error box: the message, with a "." added when it is not empty and its last character
// sorts after "." ("Failed" and "'x'" get one; "Klaar." and "Fout!" do not).
std::string ErrorBoxText(std::string_view message);

} // namespace ostrel::app
