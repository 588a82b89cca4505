#pragma once

#include "host/shell.h"

#include <functional>

namespace ostrel::host {

// The freedesktop shell: xdg-open through Qt for URLs, detached processes for programs. The
// Windows names the program starts mean the desktop's own: "calc.exe" is the first calculator
// found on the PATH, and the cache-clearing command empties our browser's cache.
class DesktopShell final : public Shell {
public:
    bool OpenUrl(const std::string& url) override;
    void StartProgram(const std::string& program, const std::string& parameters) override;
    void SetBrowserCacheClearer(std::function<void()> clear) override { clearCache_ = std::move(clear); }

private:
    std::function<void()> clearCache_;
};

} // namespace ostrel::host
