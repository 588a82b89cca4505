#include "host/win/winshell.h"

#include <windows.h>
// The shell's headers need windows.h first.
#include <shellapi.h>
#include <shlwapi.h>

#include <cwchar>

namespace ostrel::host {

namespace {

std::string Utf8(const std::wstring& text)
{
    std::string utf8(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), int(utf8.size()), nullptr,
                        nullptr);
    return utf8;
}

// Whether the class of this name says it is a link scheme; others ("txtfile") are file types.
bool TakesLinks(const std::wstring& name)
{
    return RegGetValueW(HKEY_CLASSES_ROOT, name.c_str(), L"URL Protocol", RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

} // namespace

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

std::string WinShell::ProgramForScheme(const std::string& scheme)
{
    const std::wstring protocol(scheme.begin(), scheme.end());
    if (!IsUrlScheme(scheme) || !TakesLinks(protocol))
        return {};
    // Without IGNOREUNKNOWN a scheme nobody registered is "taken" by the "choose an app" dialog.
    constexpr ASSOCF kFlags = ASSOCF_IS_PROTOCOL | ASSOCF_INIT_IGNOREUNKNOWN;
    DWORD length = 0; // in characters, with the closing null
    if (AssocQueryStringW(kFlags, ASSOCSTR_FRIENDLYAPPNAME, protocol.c_str(), nullptr, nullptr, &length) !=
        S_FALSE)
        return {};
    std::wstring name(length, L'\0');
    if (AssocQueryStringW(kFlags, ASSOCSTR_FRIENDLYAPPNAME, protocol.c_str(), nullptr, name.data(),
                          &length) != S_OK)
        return {};
    name.resize(wcslen(name.c_str()));
    return Utf8(name);
}

} // namespace ostrel::host
