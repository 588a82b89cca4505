#include "navigation/destinations.h"

#include "host/browser.h"
#include "host/messages.h"
#include "host/pause.h"
#include "host/probe.h"
#include "host/shell.h"
#include "navigation/addresses.h"
#include "navigation/formencode.h"
#include "navigation/portal.h"

#include <array>

namespace ostrel::navigation {

namespace {

using enum CommandKind;
using enum TargetKind;
using enum SilentAction;
using enum FollowUp;
using namespace addresses;
constexpr int kNoHistory = host::navNoHistory;
constexpr int kNoCache = host::navNoReadFromCache;

// clang-format off
constexpr std::array kCatalogue{
//  control                                    kind                target                       origin                  path / parameters                        flags          silent     then
    Destination{Control::BtnHome,              VersionPost,        Address,                     kPortalUrl,             "",                                      kFlagsOmitted, Unchanged, None},
    Destination{Control::BtnOWS,               GatewaySelection,   Address,                     "",                     "",                                      kNoCache,      On,        None},
    Destination{Control::BtnFormulieren,       EmbeddedNavigation, Address,                     kWebsiteOrigin,         "/download/download.asp",                kNoHistory,    On,        None},
    Destination{Control::BtnBestanden,         EmbeddedNavigation, Address,                     kPortalUrl,             "/index.php?mod=content&page=ftpssl",    kNoHistory,    On,        None},
    Destination{Control::BtnOstrelWeb,         EmbeddedNavigation, VersionStampedPortal,        kPortalUrl,             "",                                      kNoHistory,    On,        PauseThenRefresh},
    Destination{Control::BtnDownloads,         EmbeddedNavigation, DownloadsWithCitrixVersion,  kDownloadOrigin,        "/?version=",                            kNoHistory,    On,        None},
    Destination{Control::BtnHelpdesk,          EmbeddedNavigation, Address,                     kServiceDeskOrigin,     "/tas/public",                           kNoHistory,    Off,       None},
    Destination{Control::btnTeamviewer,        EmbeddedNavigation, Address,                     kRemoteSupportUrl,      "",                                      kNoHistory,    Off,       None},
    Destination{Control::btnPolisvoorwaarden,  EmbeddedNavigation, Address,                     kPolicyOrigin,          "",                                      kNoHistory,    Off,       None},
    Destination{Control::JvImage1,             EmbeddedNavigation, Address,                     kContactOrigin,         "/index.php?mod=content&page=contact",   kNoHistory,    Off,       None},
    Destination{Control::btnPortaal,           ShellLaunch,        Address,                     kPortaalOrigin,         "",                                      kFlagsOmitted, Unchanged, None},
    Destination{Control::btnPIM,               ShellLaunch,        Address,                     kPimOrigin,             "",                                      kFlagsOmitted, Unchanged, None},
    Destination{Control::btnIntranet,          ShellLaunch,        Address,                     kIntranetOrigin,        "",                                      kFlagsOmitted, Unchanged, None},
    Destination{Control::btnCalculator,        ShellLaunch,        Program,                     host::kCalculatorProgram, "",                                    kFlagsOmitted, Unchanged, None},
    Destination{Control::JvTransparentButton1, ShellLaunch,        Program,                     host::kClearCacheProgram, host::kClearCacheParameters,           kFlagsOmitted, Unchanged, ClearCacheRefreshThenMessage},
};
// clang-format on

constexpr std::string_view kGatewayPath = "/vpn/index.html";

constexpr std::size_t RowOf(Control control)
{
    std::size_t row = 0;
    while (row < kCatalogue.size() && kCatalogue[row].control != control)
        ++row;
    return row;
}
static_assert(RowOf(Control::BtnOWS) < kCatalogue.size(),
              "the gateway selection reads its flags from its row");

} // namespace

const std::span<const Destination> kDestinations{kCatalogue};

const Destination* FindDestination(Control control)
{
    const std::size_t row = RowOf(control);
    return row < kCatalogue.size() ? &kCatalogue[row] : nullptr;
}

std::string PrimaryGatewayUrl()
{
    return std::string(kGatewayPrimaryOrigin) + std::string(kGatewayPath);
}

std::string SecondaryGatewayUrl()
{
    return std::string(kGatewaySecondaryOrigin) + std::string(kGatewayPath);
}

std::span<const std::string_view> InsurerAddresses()
{
    static constexpr std::array kInsurer{
        kPortalUrl,         kContactOrigin,        kWebsiteOrigin,         kDownloadOrigin,
        kServiceDeskOrigin, kPolicyOrigin,         kPortaalOrigin,         kPimOrigin,
        kIntranetOrigin,    kGatewayPrimaryOrigin, kGatewaySecondaryOrigin};
    return kInsurer;
}

std::string Commands::targetOf(const Destination& row)
{
    switch (row.target) {
    case Address:
    case Program:
        return std::string(row.origin) + std::string(row.path);
    case VersionStampedPortal:
        return VersionStampedPortalUrl();
    case DownloadsWithCitrixVersion:
        return std::string(row.origin) + std::string(row.path) +
               FormEncode(CitrixReceiverVersion(host_.registry));
    }
    return {};
}

void Commands::Run(Control control)
{
    const Destination* row = FindDestination(control);
    if (!row)
        return;
    switch (row->kind) {
    case VersionPost:
        PortalRequests(host_.browser, host_.registry).PostVersionData(/*includeCitrixVersion=*/false);
        return;
    case GatewaySelection:
        SelectGateway();
        return;
    case ShellLaunch:
        // The shell reports nothing back: a launch that fails shows no message of ours.
        if (row->target == Program)
            host_.shell.StartProgram(std::string(row->origin), std::string(row->path));
        else
            host_.shell.OpenUrl(targetOf(*row));
        break;
    case EmbeddedNavigation:
        if (row->silent != Unchanged)
            host_.browser.SetSilent(row->silent == On);
        host_.browser.Navigate(targetOf(*row), row->flags);
        break;
    }
    switch (row->then) {
    case None:
        break;
    case PauseThenRefresh:
        host_.pause.Sleep(kPortalRefreshPauseMs);
        host_.browser.Refresh2();
        break;
    case ClearCacheRefreshThenMessage:
        // The system's command empties the system browser's cache; ours has its own.
        host_.browser.ClearCache();
        host_.browser.Refresh2();
        host_.messages.ShowMessage(kCacheCleared);
        break;
    }
}

void Commands::SelectGateway()
{
    const Destination& row = *FindDestination(Control::BtnOWS);
    host_.browser.SetSilent(true);
    for (const std::string& gateway : {PrimaryGatewayUrl(), SecondaryGatewayUrl()}) {
        if (host_.probe.Probe(gateway) == 200) {
            // The version is looked up only for the gateway that is opened.
            host_.browser.Navigate(gateway + "?version=" + FormEncode(CitrixReceiverVersion(host_.registry)),
                                   row.flags);
            return;
        }
    }
    host_.messages.ShowMessage(kConnectionProblem);
}

} // namespace ostrel::navigation
