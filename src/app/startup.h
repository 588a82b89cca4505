// The start-up sequence that runs while the main window is created, before it is first shown.
#pragma once

#include <string>

namespace ostrel::host {
class Pause;
}
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
};

inline constexpr int kStartupPauseMs = 2000;

// Caption, maximise, version POST, pause, version-stamped portal page. An error ends the sequence
// at the step that raised it; what the steps before it did stays.
void RunStartupSequence(StartupWindow& window, navigation::PortalRequests& portal, host::Pause& pause);

} // namespace ostrel::app
