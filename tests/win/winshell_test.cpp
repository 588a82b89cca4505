// The shell, the program for a link scheme and the program file's version record, as Windows sees them.
#include "host/win/winshell.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel::host {
namespace {

TEST(WinShell, startsAProgramWithItsParametersAndDoesNotWait)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string marker = std::string(temp) + "ostrel-shell-test.txt";
    DeleteFileA(marker.c_str());
    WinShell().StartProgram("cmd.exe", "/c echo started> \"" + marker + "\"");
    bool found = false;
    for (int i = 0; i < 100 && !found; ++i) {
        found = GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
        Sleep(100);
    }
    EXPECT_TRUE(found);
    DeleteFileA(marker.c_str());
}

// Link schemes of the test's own, registered as an installer does (a class with an open command),
// and gone again after each test with any program copied for them. Wine 8 reads classes from the
// machine's key only (its HKEY_CLASSES_ROOT does not show the user's Software\Classes), so they are
// registered machine-wide, as an installer that runs elevated does.
class WinShellScheme : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const std::wstring& key : keys_)
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
        if (!copy_.empty())
            DeleteFileW(copy_.c_str());
    }

    static std::wstring ThisProgram()
    {
        wchar_t path[MAX_PATH];
        return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    }

    // Registers the class with this program to open it; as a link scheme ("URL Protocol") or not.
    void Register(const std::wstring& name, const std::wstring& program, bool takesLinks = true)
    {
        keys_.push_back(L"Software\\Classes\\" + name);
        const std::wstring command = L"\"" + program + L"\" \"%1\"";
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, (keys_.back() + L"\\shell\\open\\command").c_str(),
                                  nullptr, REG_SZ, command.c_str(),
                                  DWORD((command.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        if (takesLinks)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, keys_.back().c_str(), L"URL Protocol", REG_SZ, L"",
                            sizeof(wchar_t));
    }

    // A copy of the show-command child, a program without a version record, under this name.
    std::wstring CopyOfChild(const std::wstring& name)
    {
        std::wstring child = ThisProgram();
        child.replace(child.rfind(L'\\') + 1, std::wstring::npos, L"ostrel_showcommand_child.exe");
        wchar_t temp[MAX_PATH];
        copy_ = std::wstring(temp, GetTempPathW(MAX_PATH, temp)) + name;
        EXPECT_TRUE(CopyFileW(child.c_str(), copy_.c_str(), FALSE));
        return copy_;
    }

    std::vector<std::wstring> keys_;
    std::wstring copy_;
};

// The name is the description in the program file's version record: this test program's is the
// program's own.
TEST_F(WinShellScheme, namesTheProgramByItsVersionRecord)
{
    Register(L"ostrel-test", ThisProgram());
    EXPECT_EQ(WinShell().ProgramForScheme("ostrel-test"), "Ostrel Web");
    EXPECT_EQ(WinShell().ProgramForScheme("OSTREL-Test"), "Ostrel Web");
}

// A program without a version record goes by its file name, which comes back in UTF-8.
TEST_F(WinShellScheme, namesAProgramWithoutVersionRecordByItsFileName)
{
    Register(L"ostrel-test", CopyOfChild(L"Postkamer \u00e9\u00e9n.exe"));
    EXPECT_EQ(WinShell().ProgramForScheme("ostrel-test"), "Postkamer \xc3\xa9\xc3\xa9n");
}

TEST_F(WinShellScheme, namesNothingForWhatIsNoRegisteredScheme)
{
    Register(L"ostrel-filetype", ThisProgram(), false);
    Register(L"ostrel test", ThisProgram());
    EXPECT_EQ(WinShell().ProgramForScheme("ostrel-unregistered"), "");
    EXPECT_EQ(WinShell().ProgramForScheme("ostrel-filetype"), "");
    EXPECT_EQ(WinShell().ProgramForScheme("ostrel test"), "");
}

// The test program carries the program's own resource script, so its record is the program's.
TEST(VersionRecord, saysOstrelWeb670InDutch)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(7, 6));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(7, 6));

    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(translation->language, 0x0413);
    EXPECT_EQ(translation->codePage, 1252);

    char* description = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\041304E4\\FileDescription",
                               reinterpret_cast<void**>(&description), &length));
    EXPECT_STREQ(description, "Ostrel Web");
}

} // namespace
} // namespace ostrel::host
