// The desktop shell: what opens outside the window.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace ostrel::host {

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a URL (web address, mailto:) in the desktop's handler for it, without waiting and
    // without error dialogs of the shell's own. False when nothing could take it.
    virtual bool OpenUrl(const std::string& url) = 0;
    // Starts a program with its parameters and does not wait for it; a failure shows nothing.
    virtual void StartProgram(const std::string& program, const std::string& parameters) = 0;
    // The name a user knows the desktop's program for links of this scheme ("mailto") by, as the
    // desktop shows it ("Thunderbird Mail"); empty when no program takes such links, and for anything
    // that is no scheme (IsUrlScheme), which no lookup ever sees.
    virtual std::string ProgramForScheme(const std::string& scheme) = 0;
};

// A URL scheme as URLs write it ("mailto", "ms-word"): a letter, then letters, digits, "+", "." and "-".
// Nothing else is handed to the desktop's lookups, which read it as a name in their own syntax.
inline bool IsUrlScheme(std::string_view scheme)
{
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    const auto rest = [&](char c) {
        return letter(c) || (c >= '0' && c <= '9') || c == '+' || c == '.' || c == '-';
    };
    return !scheme.empty() && letter(scheme.front()) && std::all_of(scheme.begin() + 1, scheme.end(), rest);
}

// The desktop calculator and the command that empties the browser's cache of temporary files.
inline constexpr char kCalculatorProgram[] = "calc.exe";
inline constexpr char kClearCacheProgram[] = "rundll32.exe";
inline constexpr char kClearCacheParameters[] = "inetcpl.cpl,ClearMyTracksByProcess 1";

} // namespace ostrel::host
