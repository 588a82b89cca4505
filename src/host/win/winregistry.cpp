#include "host/win/winregistry.h"

#include <windows.h>

namespace ostrel::host {

namespace {

// Windows refuses a subkey that begins with "\" (ERROR_BAD_PATHNAME), though the program's key paths
// may say "from the root" that way.
std::string relative(const std::string& path)
{
    return path.empty() || path.front() != '\\' ? path : path.substr(1);
}

class WinKey final : public RegistryKey {
public:
    explicit WinKey(HKEY key) : key_(key) {}
    ~WinKey() override { RegCloseKey(key_); }

    RegValueRead ReadValue(const std::string& name) override
    {
        RegValueRead result;
        DWORD type = 0;
        DWORD size = 0;
        LONG status = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND)
            return result;
        std::string data(size, '\0');
        if (status == ERROR_SUCCESS && size > 0)
            status = RegQueryValueExA(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (status != ERROR_SUCCESS) {
            result.status = RegValueRead::Status::Unreadable;
            return result;
        }
        data.resize(size);
        result.status = RegValueRead::Status::Ok;
        result.type = type;
        result.data = std::move(data);
        return result;
    }

    bool WriteDword(const std::string& name, std::uint32_t data) override
    {
        const DWORD value = data;
        return RegSetValueExA(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
               ERROR_SUCCESS;
    }

private:
    HKEY key_;
};

} // namespace

std::unique_ptr<RegistryKey> WinRegistry::OpenKeyReadOnly(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, relative(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<WinKey>(key);
}

std::unique_ptr<RegistryKey> WinRegistry::CreateKey(const std::string& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, relative(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<WinKey>(key);
}

} // namespace ostrel::host
