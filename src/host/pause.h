// A pause of the GUI thread.
#pragma once

#include <functional>

namespace ostrel::host {

class Pause {
public:
    virtual ~Pause() = default;
    virtual void Sleep(int milliseconds) = 0;
    // True while a pause is under way.
    virtual bool Active() const = 0;
    // Runs fn now, or, during a pause, once the pause is over: our handlers see what happened
    // during a pause only after it, as a thread that slept would.
    virtual void RunOutsidePause(std::function<void()> fn) = 0;
};

} // namespace ostrel::host
