#include "app/switches.h"

#include "app/startup.h"
#include "host/browser.h"
#include "host/process.h"

#include <algorithm>

namespace ostrel::app {

namespace {
// ASCII letters only: the 8-bit text of other code pages stays as it is.
std::string asciiLower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}
std::string asciiUpper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return text;
}
} // namespace

void ScanCommandLine(const host::ProcessInfo& process, StartupWindow& window, host::Browser& browser)
{
    auto scan = [&](const std::string& argument) {
        const std::string text = asciiLower(argument);
        if (text.find("debug") != std::string::npos) {
            browser.SetSilent(false);
            window.EnableDiagnostics();
            window.SetCaption(window.Caption() + std::string(kDebugSuffix));
        }
        if (text.find("light") != std::string::npos) {
            window.ApplyCompactLayout();
            window.SetCaption(window.Caption() + std::string(kLightSuffix));
        }
    };
    scan(process.programPath);
    for (const std::string& argument : process.arguments)
        scan(argument);
}

bool IsIntranetDomain(std::string domain)
{
    domain = asciiUpper(std::move(domain));
    return std::find(std::begin(kIntranetDomains), std::end(kIntranetDomains), domain) != std::end(kIntranetDomains);
}

} // namespace ostrel::app
