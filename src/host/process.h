// The running program as the system describes it.
#pragma once

#include <string>
#include <vector>

namespace ostrel::host {

// The launcher asked for no particular way of showing the program's first window.
inline constexpr int kNoShowCommand = -1;

struct ProcessInfo {
    std::string programPath;             // the program file's own full path
    std::vector<std::string> arguments; // the command-line arguments, without the program
    // How the launcher asked the first window to be shown (a Windows show command such as 3 for
    // maximised or 7 for minimised without activation), or kNoShowCommand.
    int showCommand = kNoShowCommand;
};

// This process: the path from the system (not argv[0], which the caller chooses), the arguments as
// given, before Qt takes its own out of them, and the launcher's show command where the system has one.
ProcessInfo CurrentProcess(int argc, char** argv);

} // namespace ostrel::host
