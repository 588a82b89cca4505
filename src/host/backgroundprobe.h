// The gateway probe off the GUI thread: the window keeps repainting while a gateway takes its
// time (up to ten seconds each), user input is held back as in the program's pauses, and the
// pointer shows that the program is busy.
#pragma once

#include "host/probe.h"

#include <memory>

namespace ostrel::host {

class GuiPause;

class BackgroundProbe final : public ConnectionProbe {
public:
    // probe: a blocking probe that is safe to call from another thread; pause: the program's, which
    // outlives this.
    BackgroundProbe(std::unique_ptr<ConnectionProbe> probe, GuiPause& pause);

    // Returns when the probe has its answer; meanwhile the GUI thread handles everything but input.
    int Probe(const std::string& url) override;

private:
    std::shared_ptr<ConnectionProbe> probe_; // shared with a probe still running at exit
    GuiPause& pause_;
};

} // namespace ostrel::host
