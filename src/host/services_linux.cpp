#include "host/desktopshell.h"
#include "host/guipause.h"
#include "host/regstore.h"
#include "host/services.h"

namespace ostrel::host {

Services PlatformServices()
{
    Services services;
    services.registry = std::make_unique<RegFileStore>(RegFileStore::DefaultPath());
    services.pause = std::make_unique<GuiPause>();
    services.shell = std::make_unique<DesktopShell>();
    return services;
}

} // namespace ostrel::host
