#include "base/version.h"
#include "host/backgroundprobe.h"
#include "host/curlprobe.h"
#include "host/desktopshell.h"
#include "host/guipause.h"
#include "host/proxies.h"
#include "host/qtmessagedialog.h"
#include "host/regstore.h"
#include "host/services.h"

namespace ostrel::host {

Services PlatformServices(const ProcessInfo& process, Proxies& proxies)
{
    Services services;
    services.process = process;
    services.proxies = &proxies;
    services.account = std::make_unique<SystemAccountDomain>();
    auto pause = std::make_unique<GuiPause>();
    services.probe = std::make_unique<BackgroundProbe>(
        std::make_unique<CurlProbe>(std::string(kApplicationTitle), proxies), *pause);
    services.messages = std::make_unique<QtMessageDialog>();
    services.registry = std::make_unique<RegFileStore>(RegFileStore::DefaultPath());
    services.pause = std::move(pause);
    services.shell = std::make_unique<DesktopShell>();
    return services;
}

} // namespace ostrel::host
