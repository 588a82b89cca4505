// The launcher's show command ("start /max", "start /min"), as the program reads it from its launch.
#include "host/process.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace ostrel::host {
namespace {

// Starts the reporting program that lies beside this test with the given start-up record and
// returns its exit code: the show command it read.
int showCommandReadByChild(DWORD flags, WORD showWindow)
{
    char path[MAX_PATH];
    std::string child(path, GetModuleFileNameA(nullptr, path, sizeof path));
    child.replace(child.rfind('\\') + 1, std::string::npos, "ostrel_showcommand_child.exe");
    std::string commandLine = "\"" + child + "\"";

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = flags;
    startup.wShowWindow = showWindow;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(child.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "CreateProcessA " << child << " failed: " << GetLastError();
        return kNoShowCommand;
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}

TEST(WinProcess, showCommandIsTheLaunchersOnlyWhenItSetTheShowWindowFlag)
{
    struct Case {
        DWORD flags;
        WORD showWindow;
        int read;
    };
    const Case cases[]{
        {STARTF_USESHOWWINDOW, SW_SHOWMAXIMIZED, 3},
        {STARTF_USESHOWWINDOW, SW_SHOWMINNOACTIVE, 7},
        {STARTF_USESHOWWINDOW, SW_HIDE, 0},
        {0, SW_SHOWMAXIMIZED, kNoShowCommand},
        {0, 0, kNoShowCommand},
    };
    for (const Case& c : cases)
        EXPECT_EQ(showCommandReadByChild(c.flags, c.showWindow), c.read)
            << "flags " << c.flags << ", show window " << c.showWindow;
}

} // namespace
} // namespace ostrel::host
