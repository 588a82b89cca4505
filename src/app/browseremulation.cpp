#include "app/browseremulation.h"

#include "base/errors.h"
#include "host/registry.h"

namespace ostrel::host {

std::string ProgramFileName(std::string_view programPath)
{
    const auto cut = programPath.find_last_of("\\:/");
    return std::string(cut == std::string_view::npos ? programPath : programPath.substr(cut + 1));
}

void EnableBrowserEmulation(CurrentUserRegistry& registry, std::string_view programPath)
{
    const std::unique_ptr<RegistryKey> key = registry.CreateKey(std::string(kBrowserEmulationKey));
    if (!key)
        throw Error("Helaas het is niet mogelijk om IE11 te gebruiken.");
    const std::string name = ProgramFileName(programPath);
    if (!key->WriteDword(name, kIE11EdgeMode))
        throw RegistryError("Failed to set data for '" + name + "'");
}

} // namespace ostrel::host
