// The GUI thread's pause. The browser engine's own side runs on this thread, so a blocking sleep
// would hold back the very requests we pause for (a POST then never leaves): the pause is a nested
// event loop that takes no user input and in which nothing of ours runs.
#pragma once

#include "host/pause.h"

#include <functional>

namespace ostrel::host {

class GuiPause final : public Pause {
public:
    void Sleep(int milliseconds) override;

    // Waits the same way until condition() holds, at most maxMilliseconds; returns condition().
    static bool WaitUntil(const std::function<bool()>& condition, int maxMilliseconds);

    // True while a pause is under way.
    static bool Active();
    // Runs fn now, or, during a pause, from the event loop once the pause is over: our handlers see
    // what happened during a pause only after it, as a thread that slept would.
    static void RunOutsidePause(std::function<void()> fn);
};

} // namespace ostrel::host
