// HKEY_CURRENT_USER through the Windows registry API (the 8-bit "A" functions).
#pragma once

#include "host/registry.h"

namespace ostrel::host {

class WinRegistry final : public CurrentUserRegistry {
public:
    std::unique_ptr<RegistryKey> OpenKeyReadOnly(const std::string& path) override;
    std::unique_ptr<RegistryKey> CreateKey(const std::string& path) override;
};

} // namespace ostrel::host
