#pragma once

#include "host/shell.h"

namespace ostrel::host {

// ShellExecuteA with the verb "open": the desktop's handler for a URL, or a program started and
// not waited for. No working directory, shown normally; the shell shows no error of its own.
class WinShell final : public Shell {
public:
    bool OpenUrl(const std::string& url) override;
    void StartProgram(const std::string& program, const std::string& parameters) override;
    std::string ProgramForScheme(const std::string& scheme) override;
};

} // namespace ostrel::host
