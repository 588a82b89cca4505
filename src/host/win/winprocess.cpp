// The running program and its account, from the process itself.
#include "base/errors.h"
#include "host/account.h"
#include "host/process.h"

#include <windows.h>

#include <vector>

namespace ostrel::host {

ProcessInfo CurrentProcess(int argc, char** argv)
{
    ProcessInfo info;
    std::vector<char> path(MAX_PATH);
    DWORD length = 0;
    while ((length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
           path.size())
        path.resize(path.size() * 2); // a long path: ask again with room for it
    info.programPath.assign(path.data(), length);
    for (int i = 1; i < argc; ++i)
        info.arguments.emplace_back(argv[i]);
    // "start /max" or a shortcut set to "Minimised" arrive here; wShowWindow means nothing without the flag.
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW)
        info.showCommand = startup.wShowWindow;
    return info;
}

namespace {
std::string osErrorMessage(DWORD code)
{
    if (code == 0)
        return "A call to an OS function failed";
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = "System Error.  Code: " + std::to_string(code) + ".\r\n" + (text ? text : "");
    LocalFree(text);
    return message;
}
} // namespace

std::string SystemAccountDomain::AccountDomain()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token))
        return {};
    // Asked for its size first: a token with many groups does not fit a fixed buffer, and that is
    // no reason to stop the start-up.
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size ? size : 1);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        const DWORD code = GetLastError();
        CloseHandle(token);
        throw OSError(osErrorMessage(code), code);
    }
    CloseHandle(token);
    char name[257];
    char domain[257];
    DWORD nameLength = sizeof name;
    DWORD domainLength = sizeof domain;
    SID_NAME_USE use;
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    if (!LookupAccountSidA(nullptr, user->User.Sid, name, &nameLength, domain, &domainLength, &use))
        return {}; // matches none of the organisation's names
    return std::string(domain, strnlen(domain, sizeof domain));
}

} // namespace ostrel::host
