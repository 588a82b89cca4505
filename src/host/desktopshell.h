#pragma once

#include "host/shell.h"

namespace ostrel::host {

// The freedesktop shell: xdg-open through Qt for URLs, detached processes for programs. The
// Windows programs the program starts mean the desktop's own: "calc.exe" is the first calculator
// found on the PATH; the system's cache-clearing command has nothing to clear here (the browser
// empties its own cache).
class DesktopShell final : public Shell {
public:
    bool OpenUrl(const std::string& url) override;
    void StartProgram(const std::string& program, const std::string& parameters) override;
    std::string ProgramForScheme(const std::string& scheme) override;
};

} // namespace ostrel::host
