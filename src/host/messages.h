// The program's own message dialog: a fixed text, the program's title as caption, no icon, OK.
#pragma once

#include <string>

namespace ostrel::host {

class MessageDialog {
public:
    virtual ~MessageDialog() = default;
    // Modal, centred on the screen; returns when the user has closed it.
    virtual void ShowMessage(const std::string& text) = 0;
};

} // namespace ostrel::host
