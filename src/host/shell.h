// The desktop shell: what opens outside the window.
#pragma once

#include <string>

namespace ostrel::host {

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a URL (web address, mailto:) in the desktop's handler for it, without waiting and
    // without error dialogs of the shell's own. False when nothing could take it.
    virtual bool OpenUrl(const std::string& url) = 0;
    // Starts a program with its parameters and does not wait for it; a failure shows nothing.
    virtual void StartProgram(const std::string& program, const std::string& parameters) = 0;
};

// The desktop calculator and the command that empties the browser's cache of temporary files.
inline constexpr char kCalculatorProgram[] = "calc.exe";
inline constexpr char kClearCacheProgram[] = "rundll32.exe";
inline constexpr char kClearCacheParameters[] = "inetcpl.cpl,ClearMyTracksByProcess 1";

} // namespace ostrel::host
