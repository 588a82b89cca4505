#include "base/version.h"
#include "host/account.h"
#include "host/backgroundprobe.h"
#include "host/guipause.h"
#include "host/qtmessagedialog.h"
#include "host/services.h"
#include "host/win/wininetprobe.h"
#include "host/win/winregistry.h"
#include "host/win/winshell.h"

namespace ostrel::host {

// WinINet finds and logs in to the proxy itself: the logins are only the pages'.
Services PlatformServices(const ProcessInfo& process, Proxies& proxies)
{
    Services services;
    services.process = process;
    services.proxies = &proxies;
    services.registry = std::make_unique<WinRegistry>();
    auto pause = std::make_unique<GuiPause>();
    services.shell = std::make_unique<WinShell>();
    services.account = std::make_unique<SystemAccountDomain>();
    services.probe = std::make_unique<BackgroundProbe>(
        std::make_unique<WinInetProbe>(std::string(kApplicationTitle)), *pause);
    services.pause = std::move(pause);
    services.messages = std::make_unique<QtMessageDialog>();
    return services;
}

} // namespace ostrel::host
