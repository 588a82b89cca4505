// The GUI thread's pause. The browser engine's own side runs on this thread, so a blocking sleep
// would hold back the very requests we pause for (a POST then never leaves): the pause is a nested
// event loop that takes no user input and in which nothing of ours runs. One for the program,
// made with its services and handed to whatever must know whether a pause is under way.
#pragma once

#include "host/pause.h"

#include <QObject>

class QEventLoop;

#include <functional>
#include <vector>

namespace ostrel::host {

class GuiPause final : public Pause {
public:
    void Sleep(int milliseconds) override;
    bool Active() const override { return depth_ > 0; }
    void RunOutsidePause(std::function<void()> fn) override;

    // Waits the same way until condition() holds, at most maxMilliseconds; returns condition().
    bool WaitUntil(const std::function<bool()>& condition, int maxMilliseconds);

private:
    void runPaused(QEventLoop& loop);
    void runDeferred();

    int depth_ = 0; // pauses under way, one inside the other
    std::vector<std::function<void()>> deferred_;
    QObject context_; // the deferred work's timer goes with the pause
};

} // namespace ostrel::host
