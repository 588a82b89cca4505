// The shell and the program file's version record, as Windows sees them.
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
