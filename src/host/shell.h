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
};

} // namespace ostrel::host
