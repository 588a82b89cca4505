#pragma once

#include "host/messages.h"

namespace ostrel::host {

// The object name of the message dialog's window.
inline constexpr char kMessageDialogName[] = "MessageDialog";

class QtMessageDialog final : public MessageDialog {
public:
    void ShowMessage(const std::string& text) override;
};

} // namespace ostrel::host
