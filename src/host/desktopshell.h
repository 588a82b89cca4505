#pragma once

#include "host/shell.h"

namespace ostrel::host {

// The freedesktop shell: xdg-open, through Qt.
class DesktopShell final : public Shell {
public:
    bool OpenUrl(const std::string& url) override;
};

} // namespace ostrel::host
