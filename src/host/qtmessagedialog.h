#pragma once

#include "host/messages.h"

namespace ostrel::host {

class QtMessageDialog final : public MessageDialog {
public:
    void ShowMessage(const std::string& text) override;
};

} // namespace ostrel::host
