#include "app/startup.h"

#include "app/switches.h"
#include "base/version.h"
#include "host/account.h"
#include "host/browser.h"
#include "host/pause.h"
#include "navigation/portal.h"

namespace ostrel::app {

namespace {
// The Windows show commands the program answers ("start /max", "start /min").
constexpr int kShowMaximised = 3;
constexpr int kShowMinimisedNotActivated = 7;

// The start-up's requests. The portal must have taken the versions before the page that depends
// on them is asked for; trying that page again when it could not be reached repeats both, so the
// portal still gets the versions. (The engine keeps the first page's raster tiles, 5 to 11 MB, for
// 5 s after the second replaced them.)
void PostVersionsThenOpenPortalPage(navigation::PortalRequests& portal, host::Pause& pause)
{
    portal.PostVersionData(/*includeCitrixVersion=*/true);
    pause.Sleep(kStartupPauseMs);
    portal.OpenVersionStampedPortalPage(host::navNoHistory,
                                        [&portal, &pause] { PostVersionsThenOpenPortalPage(portal, pause); });
}
} // namespace

void RunStartupSequence(StartupWindow& window, const StartupHost& host)
{
    window.SetCaption(std::string(kApplicationTitle) + " " + std::string(kApplicationVersion));
    ScanCommandLine(host.process, window, host.browser);
    if (IsIntranetDomain(host.account.AccountDomain()))
        window.ShowIntranetButton();
    window.enableIE8Standard();
    window.Maximise();
    PostVersionsThenOpenPortalPage(host.portal, host.pause);
}

void ApplyLaunchShowRequest(StartupWindow& window, int showCommand)
{
    if (showCommand == kShowMaximised)
        window.Maximise();
    else if (showCommand == kShowMinimisedNotActivated)
        window.Minimise();
}

} // namespace ostrel::app
