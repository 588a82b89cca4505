// The running program as the system describes it.
#pragma once

#include <string>
#include <vector>

namespace ostrel::host {

struct ProcessInfo {
    std::string programPath;             // the program file's own full path
    std::vector<std::string> arguments; // the command-line arguments, without the program
};

// This process: the path from the system (not argv[0], which the caller chooses), the arguments as
// given, before Qt takes its own out of them.
ProcessInfo CurrentProcess(int argc, char** argv);

} // namespace ostrel::host
