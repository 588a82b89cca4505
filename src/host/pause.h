// A pause of the GUI thread.
#pragma once

namespace ostrel::host {

class Pause {
public:
    virtual ~Pause() = default;
    virtual void Sleep(int milliseconds) = 0;
};

} // namespace ostrel::host
