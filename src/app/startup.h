// The start-up sequence that runs while the main window is created, before it is first shown.
#pragma once

#include <string>

namespace ostrel::host {
class AccountDomainSource;
class Browser;
class Pause;
struct ProcessInfo;
} // namespace ostrel::host
namespace ostrel::navigation {
class PortalRequests;
}

namespace ostrel::app {

// The main window as the start-up sequence sees it.
class StartupWindow {
public:
    virtual ~StartupWindow() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual std::string Caption() const = 0;
    // Records the state; a window that is not yet visible comes up maximised when it is shown.
    virtual void Maximise() = 0;
    // Minimises the application; a restore brings the window back in the state it had.
    virtual void Minimise() = 0;
    // Compact mode, for good: the compact layout, and F2 and F4 do nothing.
    virtual void ApplyCompactLayout() = 0;
    virtual void ShowIntranetButton() = 0;
    // The debug switch: the failures the program gets over are logged.
    virtual void EnableDiagnostics() = 0;
    // Puts the embedded browser into its modern rendering mode for this program; throws on failure.
    virtual void enableIE8Standard() = 0;
};

// What the sequence uses besides the window.
struct StartupHost {
    navigation::PortalRequests& portal;
    host::Browser& browser;
    host::Pause& pause;
    host::AccountDomainSource& account;
    const host::ProcessInfo& process;
};

inline constexpr int kStartupPauseMs = 2000;

// Caption; switches, intranet check, browser emulation; maximise; version POST; pause;
// version-stamped portal page. An error ends the sequence at the step that raised it; what the
// steps before it did stays.
void RunStartupSequence(StartupWindow& window, const StartupHost& host);

// The launcher's show command (host::ProcessInfo::showCommand), honoured once, when the message
// loop starts: 3 (shown maximised) maximises the main window, 7 (minimised, not activated)
// minimises the application; any other command, or none, leaves the window as start-up left it.
void ApplyLaunchShowRequest(StartupWindow& window, int showCommand);

} // namespace ostrel::app
