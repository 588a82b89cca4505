#include "app/startup.h"

#include "host/browser.h"
#include "host/pause.h"
#include "navigation/portal.h"
#include "navigation/version.h"

namespace ostrel::app {

void RunStartupSequence(StartupWindow& window, navigation::PortalRequests& portal, host::Pause& pause)
{
    window.SetCaption(std::string(kApplicationTitle) + " " + std::string(kApplicationVersion));
    window.Maximise();
    portal.PostVersionData(/*includeCitrixVersion=*/true);
    // The portal must have taken the versions before the page that depends on them is asked for.
    pause.Sleep(kStartupPauseMs);
    portal.OpenVersionStampedPortalPage(host::navNoHistory);
}

} // namespace ostrel::app
