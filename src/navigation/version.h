// Who the program is: its name and the version it tells the portal.
#pragma once

#include <string_view>

namespace ostrel {

// Caption of the program's message boxes, its name on the task bar and the agent name of the
// gateway probe; the main window's caption is a different text (it carries the version).
inline constexpr std::string_view kApplicationTitle = "Ostrel Web";

// The version shown in the caption and sent to the portal. The program file's own version record
// says 6.7.0.0; the portal knows this release as 6.9.
inline constexpr std::string_view kApplicationVersion = "6.9";

} // namespace ostrel
