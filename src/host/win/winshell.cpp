#include "host/win/winshell.h"

#include <windows.h>
#include <shellapi.h>

namespace ostrel::host {

bool WinShell::OpenUrl(const std::string& url)
{
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32; // ShellExecute's own measure of success
}

void WinShell::StartProgram(const std::string& program, const std::string& parameters)
{
    ShellExecuteA(nullptr, "open", program.c_str(), parameters.empty() ? nullptr : parameters.c_str(), nullptr,
                  SW_SHOWNORMAL);
}

} // namespace ostrel::host
