// What each header control's click does to the browser and the shell, the gateway choice, and the
// FTP hand-off on completed documents.
#include "fakes.h"

#include "base/errors.h"
#include "navigation/addresses.h"
#include "navigation/destinations.h"
#include "navigation/ftphandoff.h"
#include "navigation/portal.h"

#include <gtest/gtest.h>

namespace ostrel::navigation {
namespace {

using testing::CallLog;

struct Host {
    CallLog log;
    testing::FakeBrowser browser{log};
    testing::FakeRegistry registry;
    testing::FakeShell shell;
    testing::FakePause pause{log};
    testing::FakeProbe probe;
    testing::FakeMessages messages{log};
    Commands commands{{browser, registry, shell, pause, probe, messages}};

    Host() { shell.log = &log; }
    CallLog run(Control control)
    {
        log.clear();
        commands.Run(control);
        return log;
    }
};

constexpr char kCitrixKey[] =
    "SOFTWARE\\Citrix\\Receiver\\InstallDetect\\{A9852000-047D-11DD-95FF-0800200C9A66}";

std::string s(std::string_view text)
{
    return std::string(text);
}

TEST(Catalogue, everyControlRunsItsRow)
{
    using namespace addresses;
    const std::string portal = s(kPortalUrl);
    const std::vector<std::pair<Control, CallLog>> rows{
        {Control::BtnHome, {"Post " + portal + " version=6.9"}},
        {Control::BtnFormulieren,
         {"Silent on", "Navigate " + s(kWebsiteOrigin) + "/download/download.asp flags 2"}},
        {Control::BtnBestanden,
         {"Silent on", "Navigate " + portal + "/index.php?mod=content&page=ftpssl flags 2"}},
        {Control::BtnOstrelWeb,
         {"Silent on", "Navigate " + portal + "?version=6.9 flags 2", "Sleep 1000", "Refresh2"}},
        {Control::BtnDownloads, {"Silent on", "Navigate " + s(kDownloadOrigin) + "/?version=14.1 flags 2"}},
        {Control::BtnHelpdesk, {"Silent off", "Navigate " + s(kServiceDeskOrigin) + "/tas/public flags 2"}},
        {Control::btnTeamviewer, {"Silent off", "Navigate " + s(kRemoteSupportUrl) + " flags 2"}},
        {Control::btnPolisvoorwaarden, {"Silent off", "Navigate " + s(kPolicyOrigin) + " flags 2"}},
        {Control::JvImage1,
         {"Silent off", "Navigate " + s(kContactOrigin) + "/index.php?mod=content&page=contact flags 2"}},
        {Control::btnPortaal, {"Open " + s(kPortaalOrigin)}},
        {Control::btnPIM, {"Open " + s(kPimOrigin)}},
        {Control::btnIntranet, {"Open " + s(kIntranetOrigin)}},
        {Control::btnCalculator, {"Start calc.exe"}},
        {Control::JvTransparentButton1,
         {"Start rundll32.exe inetcpl.cpl,ClearMyTracksByProcess 1", "ClearCache", "Refresh2",
          "Message Tijdelijke internetbestanden zijn verwijderd"}},
        {Control::LblAdres, {}},
    };
    Host h;
    h.registry.SetValue(kCitrixKey, "DisplayVersion", host::RegType::Sz, "14.1");
    for (const auto& [control, expected] : rows)
        EXPECT_EQ(h.run(control), expected) << NameOf(control);
}

TEST(Catalogue, downloadsWithoutReceiverEndsInAnEmptyVersionAndAFailingLookupKeepsSilentOn)
{
    Host h;
    EXPECT_EQ(h.run(Control::BtnDownloads),
              (CallLog{"Silent on", "Navigate " + s(addresses::kDownloadOrigin) + "/?version= flags 2"}));

    h.registry.SetValue(kCitrixKey, "DisplayVersion", host::RegType::Dword, "abcd");
    h.log.clear();
    EXPECT_THROW(h.commands.Run(Control::BtnDownloads), RegistryError);
    EXPECT_EQ(h.log, CallLog{"Silent on"});
    EXPECT_TRUE(h.browser.Silent());
}

TEST(Catalogue, homePostsTheShortBodyEvenWithAReceiverAndLeavesSilentAlone)
{
    Host h;
    h.registry.SetValue(kCitrixKey, "DisplayVersion", host::RegType::Sz, "14.1");
    h.browser.SetSilent(true);
    h.run(Control::BtnHome);
    ASSERT_EQ(h.browser.requests.size(), 1u);
    EXPECT_EQ(h.browser.requests[0].headers, std::vector{FormContentType()});
    EXPECT_EQ(std::string(h.browser.requests[0].body.begin(), h.browser.requests[0].body.end()), "version=6.9");
    EXPECT_TRUE(h.browser.Silent());
}

TEST(GatewaySelection, primaryThenSecondaryThenTheConnectionMessage)
{
    const std::string primary = PrimaryGatewayUrl();
    const std::string secondary = SecondaryGatewayUrl();
    struct Case {
        int primaryStatus, secondaryStatus;
        std::vector<std::string> probed;
        CallLog calls;
    };
    const std::vector<Case> cases{
        {200, 200, {primary}, {"Silent on", "Navigate " + primary + "?version=9.1 flags 4"}},
        {-1, 200, {primary, secondary}, {"Silent on", "Navigate " + secondary + "?version=9.1 flags 4"}},
        {503, 200, {primary, secondary}, {"Silent on", "Navigate " + secondary + "?version=9.1 flags 4"}},
        {204, 200, {primary, secondary}, {"Silent on", "Navigate " + secondary + "?version=9.1 flags 4"}},
        {11001, 503, {primary, secondary}, {"Silent on", "Message Er is een probleem met de verbinding!"}},
        {-1, -1, {primary, secondary}, {"Silent on", "Message Er is een probleem met de verbinding!"}},
    };
    for (const Case& c : cases) {
        Host h;
        h.registry.SetValue(kCitrixKey, "DisplayVersion", host::RegType::Sz, "9.1");
        h.probe.statuses = {{primary, c.primaryStatus}, {secondary, c.secondaryStatus}};
        EXPECT_EQ(h.run(Control::BtnOWS), c.calls) << c.primaryStatus << "/" << c.secondaryStatus;
        EXPECT_EQ(h.probe.probed, c.probed) << c.primaryStatus << "/" << c.secondaryStatus;
        EXPECT_TRUE(h.browser.Silent()) << "the silent flag stays on, whatever the outcome";
    }
    EXPECT_EQ(primary, s(addresses::kGatewayPrimaryOrigin) + "/vpn/index.html");
}

TEST(GatewaySelection, versionIsLookedUpOnlyForTheOpenedGateway)
{
    Host h;
    h.registry.SetValue(kCitrixKey, "DisplayVersion", host::RegType::Dword, "abcd");
    h.run(Control::BtnOWS);
    EXPECT_EQ(h.registry.opened, 0) << "no gateway answered: no lookup";
    h.probe.statuses = {{PrimaryGatewayUrl(), 200}};
    EXPECT_THROW(h.commands.Run(Control::BtnOWS), RegistryError);
}

// The hand-off's state table: event address, guard before -> navigation, guard after.
TEST(FtpHandOff, handsOffOnceAndTheNextCompletionOnlyClearsTheGuard)
{
    CallLog log;
    testing::FakeBrowser browser(log);
    browser.documentUrl = "https://portal.example/page";
    FtpHandOff handOff;

    struct Step {
        std::string eventUrl;
        CallLog calls;
        bool guardAfter;
        bool pageWentThere = false; // the insurer's page went to the address, which does not load
    };
    const std::vector<Step> steps{
        {"https://portal.example/", {"Silent off"}, false},
        {"ftp://files.example/a.pdf", {"Silent off", "Navigate https://portal.example/page"}, true},
        {"ftp://files.example/a.pdf", {"Silent off"}, false},
        {"https://x.example/?from=ftp://y", {"Silent off", "Navigate https://portal.example/page"}, true},
        {"https://other.example/", {"Silent off"}, false},
        {"FTP://files.example/", {"Silent off"}, false},
        {"ftp://files.example/frame", {"Silent off", "Navigate https://portal.example/page"}, true},
        {"https://portal.example/", {"Silent off"}, false},
        {"ftp://files.example/b", {"Navigate ftp://files.example/b"}, true, true},
        {"ftp://files.example/b", {}, true, true},
        {"https://portal.example/", {"Silent off"}, false},
    };
    for (const Step& step : steps) {
        log.clear();
        if (step.pageWentThere)
            handOff.PageWentTo(browser, step.eventUrl);
        else
            handOff.UnsilenceAndHandOff(browser, step.eventUrl);
        EXPECT_EQ(log, step.calls) << step.eventUrl;
        EXPECT_EQ(handOff.Guarded(), step.guardAfter) << step.eventUrl;
    }
}

TEST(FtpHandOff, unreadableDocumentAddressFallsBackToTheEventAddress)
{
    CallLog log;
    testing::FakeBrowser browser(log);
    FtpHandOff().UnsilenceAndHandOff(browser, "ftp://files.example/a");
    EXPECT_EQ(log, (CallLog{"Silent off", "Navigate ftp://files.example/a"}));
}

} // namespace
} // namespace ostrel::navigation
