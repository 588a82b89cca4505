// The start-up sequence: what happens, in which order, and where an error stops it.
#include "fakes.h"

#include "app/errorbox.h"
#include "app/startup.h"
#include "app/switches.h"
#include "base/errors.h"
#include "host/account.h"
#include "host/process.h"
#include "navigation/portal.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ostrel::app {
namespace {

using testing::CallLog;

struct Startup {
    CallLog log;
    testing::FakeBrowser browser{log};
    testing::FakePause pause{log};
    testing::FakeWindow window{log};
    testing::FakeRegistry registry;
    testing::FakeAccount account;
    host::ProcessInfo process{"/opt/ostrel/ostrel-web", {}};
    navigation::PortalRequests portal{browser, registry};

    void run() { RunStartupSequence(window, {portal, browser, pause, account, process}); }
};

TEST(StartupSequence, captionMaximisePostPauseThenVersionStampedPageWithoutHistory)
{
    Startup s;
    s.run();
    const std::string base = navigation::PortalBaseUrl();
    EXPECT_EQ(s.log, (CallLog{"Caption Ostrel Web 6.9", "EnableIE8Standard", "Maximise",
                              "Post " + base + " version=6.9&citrixversion=", "Sleep 2000",
                              "Navigate " + base + "?version=6.9 flags 2"}));
    EXPECT_FALSE(s.browser.Silent());
}

TEST(StartupSequence, failingCitrixLookupEndsItAfterMaximiseWithoutAnyRequest)
{
    Startup s;
    s.registry.SetValue("\\SOFTWARE\\Citrix\\Receiver\\InstallDetect\\{A9852000-047D-11DD-95FF-0800200C9A66}",
                        "DisplayVersion", host::RegType::Dword, std::string("\x01\0\0\0", 4));
    EXPECT_THROW(s.run(), RegistryError);
    EXPECT_EQ(s.log, (CallLog{"Caption Ostrel Web 6.9", "EnableIE8Standard", "Maximise"}));
    EXPECT_TRUE(s.browser.requests.empty());
}

TEST(StartupSequence, failedEmulationKeepsModesAndIntranetButtonButNeitherMaximisesNorRequests)
{
    Startup s;
    s.process.arguments = {"/light"};
    s.account.domain = "ostrel";
    s.window.failEmulation = true;
    EXPECT_THROW(s.run(), Error);
    EXPECT_EQ(s.log, (CallLog{"Caption Ostrel Web 6.9", "CompactLayout", "Caption Ostrel Web 6.9 ***LIGHT***",
                              "ShowIntranet", "EnableIE8Standard"}));
}

// The command-line scan, as a table: arguments (after the program's path) -> what happens.
struct ScanCase {
    std::string programPath;
    std::vector<std::string> arguments;
    std::string caption;
    CallLog calls; // besides the captions
};

TEST(CommandLineScan, eachArgumentTurnsItsModesOnInOrderWithTheirSuffixes)
{
    const std::string base = "Ostrel Web 6.9";
    const std::vector<ScanCase> cases{
        {"/opt/ostrel/ostrel-web", {}, base, {}},
        {"/opt/ostrel/ostrel-web", {"--Debugging", "x"}, base + " ***DEBUG MODE***", {"Silent off", "Diagnostics"}},
        {"/opt/ostrel/ostrel-web", {"/DEBUG"}, base + " ***DEBUG MODE***", {"Silent off", "Diagnostics"}},
        {"/opt/ostrel/ostrel-web",
         {"light", "debug"},
         base + " ***LIGHT*** ***DEBUG MODE***",
         {"CompactLayout", "Silent off", "Diagnostics"}},
        {"/opt/ostrel/ostrel-web",
         {"xLightDebugx"},
         base + " ***DEBUG MODE*** ***LIGHT***",
         {"Silent off", "Diagnostics", "CompactLayout"}},
        {"/opt/ostrel/ostrel-web",
         {"debuglight"},
         base + " ***DEBUG MODE*** ***LIGHT***",
         {"Silent off", "Diagnostics", "CompactLayout"}},
        {"/opt/ostrel/ostrel-web",
         {"-light", "LIGHTER"},
         base + " ***LIGHT*** ***LIGHT***",
         {"CompactLayout", "CompactLayout"}},
        {"/home/DeBug/ostrel-web",
         {"light"},
         base + " ***DEBUG MODE*** ***LIGHT***",
         {"Silent off", "Diagnostics", "CompactLayout"}},
        {"/opt/ostrel/ostrel-web",
         {"d-e-b-u-g", "lig ht",
          "\xC9"
          "DEBUG"},
         base + " ***DEBUG MODE***",
         {"Silent off", "Diagnostics"}},
    };
    for (const ScanCase& c : cases) {
        Startup s;
        s.process = {c.programPath, c.arguments};
        s.window.SetCaption(base);
        s.log.clear();
        ScanCommandLine(s.process, s.window, s.browser);
        CallLog calls;
        for (const std::string& call : s.log)
            if (call.rfind("Caption", 0) != 0)
                calls.push_back(call);
        const std::string label = c.arguments.empty() ? "(none)" : c.arguments.front();
        EXPECT_EQ(s.window.Caption(), c.caption) << label;
        EXPECT_EQ(calls, c.calls) << label;
    }
}

// The launcher's show command, as a table: command -> what happens to the window.
TEST(LaunchShowRequest, maximisedMaximisesMinimisedNotActivatedMinimisesAnyOtherDoesNothing)
{
    const std::vector<std::pair<int, CallLog>> cases{
        {3, {"Maximise"}}, {7, {"Minimise"}}, {1, {}},  {0, {}},
        {2, {}},           {6, {}},           {10, {}}, {host::kNoShowCommand, {}},
    };
    for (const auto& [showCommand, calls] : cases) {
        CallLog log;
        testing::FakeWindow window{log};
        ApplyLaunchShowRequest(window, showCommand);
        EXPECT_EQ(log, calls) << showCommand;
    }
    // A Linux launcher has no way to ask for one.
    EXPECT_EQ(host::CurrentProcess(0, nullptr).showCommand, host::kNoShowCommand);
}

TEST(IntranetAccount, onlyTheWholeDomainInAnyCaseShowsTheButton)
{
    for (const char* domain : {"OSTREL", "ostrel", "Ostrel.Local", "ostrelws01"})
        EXPECT_TRUE(IsIntranetDomain(domain)) << domain;
    for (const char* domain : {"", "OSTRELX", "XOSTREL", "SUB.OSTREL.LOCAL", "OSTREL ", "ostrel.local.nl"})
        EXPECT_FALSE(IsIntranetDomain(domain)) << domain;

    Startup shown;
    shown.account.domain = "Ostrel";
    shown.run();
    EXPECT_NE(std::find(shown.log.begin(), shown.log.end(), "ShowIntranet"), shown.log.end());
    Startup hidden;
    hidden.account.domain = "OSTREL.LOCAL.EXAMPLE";
    hidden.run();
    EXPECT_EQ(std::find(hidden.log.begin(), hidden.log.end(), "ShowIntranet"), hidden.log.end());
}

TEST(AccountDomain, comesFromTheAccountNameOrTheComputerForLocalAccounts)
{
    EXPECT_EQ(host::DomainOfAccount("jan@ostrel.local", "pc1.example"), "ostrel.local");
    EXPECT_EQ(host::DomainOfAccount("OSTREL\\jan", "pc1"), "OSTREL");
    EXPECT_EQ(host::DomainOfAccount("jan", "ostrelws01.ostrel.local"), "ostrelws01");
    EXPECT_EQ(host::DomainOfAccount("jan", ""), "");
}

TEST(ErrorBox, addsAFullStopOnlyAfterCharactersWhoseCodeIsAboveIt)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Invalid data type for 'DisplayVersion'", "Invalid data type for 'DisplayVersion'"},
        {"Helaas het is niet mogelijk om IE11 te gebruiken.",
         "Helaas het is niet mogelijk om IE11 te gebruiken."},
        {"Er is een probleem met de verbinding!", "Er is een probleem met de verbinding!"},
        {"", ""},
        {"code 5", "code 5."},
        {"trailing blank ", "trailing blank "},
        {"path /", "path /."}, // "/" is the first code after "."
        {"a-", "a-"},
        {"a+", "a+"},
        {"(a)", "(a)"},
        {"tab\t", "tab\t"},
        {"caf\xC3\xA9", "caf\xC3\xA9."},
        {"Failed to get data for 'DisplayVersion'", "Failed to get data for 'DisplayVersion'"},
        {"Failed to set data for 'ostrel-web'", "Failed to set data for 'ostrel-web'"},
    };
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(ErrorBoxText(message), shown) << message;
}

} // namespace
} // namespace ostrel::app
