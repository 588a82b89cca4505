// The Windows registry under the program's two uses, run as a Windows program (under Wine here):
// the browser-emulation value written, the Citrix Receiver version read.
#include "app/browseremulation.h"
#include "base/errors.h"
#include "host/account.h"
#include "host/process.h"
#include "host/win/winregistry.h"
#include "navigation/portal.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace ostrel::host {
namespace {

constexpr char kEmulationKey[] =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
constexpr char kCitrixKey[] =
    "SOFTWARE\\Citrix\\Receiver\\InstallDetect\\{A9852000-047D-11DD-95FF-0800200C9A66}";

struct Key {
    HKEY handle = nullptr;
    explicit Key(const char* path)
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    }
    ~Key() { RegCloseKey(handle); }
    void set(const char* name, DWORD type, const void* data, DWORD size)
    {
        RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size);
    }
    void setText(const char* name, DWORD type, const std::string& text)
    {
        set(name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    std::pair<DWORD, std::string> get(const char* name)
    {
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(handle, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return {0, {}};
        std::string data(size, '\0');
        RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        return {type, data};
    }
};

void removeKey(const char* path)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, path);
}

const std::string kIE11("\xf9\x2a\x00\x00", 4);

TEST(WinRegistry, emulationValueIsCreatedWithItsKey)
{
    removeKey("Software\\Microsoft\\Internet Explorer");
    WinRegistry registry;
    EnableBrowserEmulation(registry, "C:\\Apps\\Portal.EXE");
    Key key(kEmulationKey);
    EXPECT_EQ(key.get("Portal.EXE"), (std::pair<DWORD, std::string>{REG_DWORD, kIE11}));
}

TEST(WinRegistry, emulationValueReplacesTextAndOtherNumbersAndLeavesTheRest)
{
    WinRegistry registry;
    {
        Key key(kEmulationKey);
        key.setText("ostrel-web.exe", REG_SZ, "9999");
        const DWORD other = 8000;
        key.set("other.exe", REG_DWORD, &other, sizeof other);
    }
    EnableBrowserEmulation(registry, "C:\\Program Files\\Ostrel\\ostrel-web.exe");
    Key key(kEmulationKey);
    EXPECT_EQ(key.get("ostrel-web.exe"), (std::pair<DWORD, std::string>{REG_DWORD, kIE11}));
    EXPECT_EQ(key.get("other.exe"),
              (std::pair<DWORD, std::string>{REG_DWORD, std::string("\x40\x1f\x00\x00", 4)}));

    const DWORD another = 7000;
    key.set("ostrel-web.exe", REG_DWORD, &another, sizeof another);
    EnableBrowserEmulation(registry, "C:\\Program Files\\Ostrel\\ostrel-web.exe");
    EXPECT_EQ(key.get("ostrel-web.exe").second, kIE11);
}

TEST(WinRegistry, citrixVersionIsReadAsStoredOrEmpty)
{
    WinRegistry registry;
    removeKey(kCitrixKey);
    EXPECT_EQ(navigation::CitrixReceiverVersion(registry), "") << "no key";
    {
        Key key(kCitrixKey);
        EXPECT_EQ(navigation::CitrixReceiverVersion(registry), "") << "no value";
        key.setText("DisplayVersion", REG_SZ, "14.12.0.18020");
        EXPECT_EQ(navigation::CitrixReceiverVersion(registry), "14.12.0.18020");
        key.setText("DisplayVersion", REG_EXPAND_SZ, "%ProgramFiles%\\x");
        EXPECT_EQ(navigation::CitrixReceiverVersion(registry), "%ProgramFiles%\\x") << "never expanded";
        const DWORD number = 14;
        key.set("DisplayVersion", REG_DWORD, &number, sizeof number);
        try {
            navigation::CitrixReceiverVersion(registry);
            ADD_FAILURE() << "a number is no version";
        } catch (const RegistryError& e) {
            EXPECT_STREQ(e.what(), "Invalid data type for 'DisplayVersion'");
        }
    }
    // The program asks with a leading "\", which Windows itself refuses: the layer removes it.
    EXPECT_NE(registry.OpenKeyReadOnly(std::string("\\") + kCitrixKey), nullptr);
    removeKey(kCitrixKey);
}

} // namespace
} // namespace ostrel::host

namespace ostrel::host {
namespace {

TEST(WinProcess, programPathIsTheModulesAndItsNameIsCutAfterTheLastSeparator)
{
    char argv0[] = "whatever";
    char* argv[] = {argv0, nullptr};
    const ProcessInfo process = CurrentProcess(1, argv);
    EXPECT_EQ(ProgramFileName(process.programPath), "ostrel_winhost_tests.exe");
    EXPECT_NE(process.programPath.find('\\'), std::string::npos) << process.programPath;
}

TEST(WinAccount, localAccountReportsTheComputerName)
{
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &length));
    EXPECT_EQ(SystemAccountDomain().AccountDomain(), std::string(computer, length));
}

} // namespace
} // namespace ostrel::host
