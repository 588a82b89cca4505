// The two start-up switches ("debug", "light") and the account check for the intranet button.
#pragma once

#include <string>
#include <string_view>

namespace ostrel::host {
class Browser;
struct ProcessInfo;
} // namespace ostrel::host

namespace ostrel::app {

class StartupWindow;

inline constexpr std::string_view kDebugSuffix = " ***DEBUG MODE***";
inline constexpr std::string_view kLightSuffix = " ***LIGHT***";

// Tests the program's own path, then every argument, for "debug" and then "light", in any letter
// case, anywhere in the text; every match takes effect and adds its caption suffix.
void ScanCommandLine(const host::ProcessInfo& process, StartupWindow& window, host::Browser& browser);

// The organisation's own accounts: its Windows domain, one workstation (whose local accounts report
// its name) and its internal DNS domain, in upper case.
inline constexpr std::string_view kIntranetDomains[] = {"OSTREL", "OSTRELWS01", "OSTREL.LOCAL"};

// True when the domain, upper-cased, is exactly one of the organisation's.
bool IsIntranetDomain(std::string domain);

} // namespace ostrel::app
