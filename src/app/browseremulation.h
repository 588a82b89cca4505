// The embedded browser's rendering mode, registered for the program file under the current user.
#pragma once

#include <string>
#include <string_view>

namespace ostrel::host {

class CurrentUserRegistry;

inline constexpr std::string_view kBrowserEmulationKey =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
inline constexpr unsigned kIE11EdgeMode = 11001;

// The name a process is listed under: its file name (after the last "\\", ":" or, here, "/"), with
// its extension and letter case as they are.
std::string ProgramFileName(std::string_view programPath);

// Writes the program file's name as the DWORD 11001 under the emulation key, creating the key when
// needed. Throws Error ("Helaas ...") when the key can be neither opened nor created, RegistryError
// when the value cannot be written.
void EnableBrowserEmulation(CurrentUserRegistry& registry, std::string_view programPath);

} // namespace ostrel::host
