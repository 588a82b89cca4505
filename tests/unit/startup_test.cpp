// The start-up sequence: what happens, in which order, and where an error stops it.
#include "fakes.h"

#include "app/errorbox.h"
#include "app/startup.h"
#include "host/errors.h"
#include "navigation/portal.h"

#include <gtest/gtest.h>

namespace ostrel::app {
namespace {

using testing::CallLog;

struct Startup {
    CallLog log;
    testing::FakeBrowser browser{log};
    testing::FakePause pause{log};
    testing::FakeWindow window{log};
    testing::FakeRegistry registry;
    navigation::PortalRequests portal{browser, registry};

    void run() { RunStartupSequence(window, portal, pause); }
};

TEST(StartupSequence, captionMaximisePostPauseThenVersionStampedPageWithoutHistory)
{
    Startup s;
    s.run();
    const std::string base = navigation::PortalBaseUrl();
    EXPECT_EQ(s.log, (CallLog{"Caption Ostrel Web 6.9", "Maximise",
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
    EXPECT_EQ(s.log, (CallLog{"Caption Ostrel Web 6.9", "Maximise"}));
    EXPECT_TRUE(s.browser.posts.empty());
}

TEST(ErrorBox, addsAFullStopOnlyAfterCharactersThatSortAfterIt)
{
    EXPECT_EQ(ErrorBoxText("Invalid data type for 'DisplayVersion'"), "Invalid data type for 'DisplayVersion'.");
    EXPECT_EQ(ErrorBoxText("Helaas het is niet mogelijk om IE11 te gebruiken."),
              "Helaas het is niet mogelijk om IE11 te gebruiken.");
    EXPECT_EQ(ErrorBoxText("Er is een probleem met de verbinding!"), "Er is een probleem met de verbinding!");
    EXPECT_EQ(ErrorBoxText(""), "");
    EXPECT_EQ(ErrorBoxText("code 5"), "code 5.");
    EXPECT_EQ(ErrorBoxText("trailing blank "), "trailing blank ");
    EXPECT_EQ(ErrorBoxText("path /"), "path /.");
    EXPECT_EQ(ErrorBoxText("a-"), "a-.");
    EXPECT_EQ(ErrorBoxText("(a)"), "(a)");
    EXPECT_EQ(ErrorBoxText("tab\t"), "tab\t");
    EXPECT_EQ(ErrorBoxText("caf\xC3\xA9"), "caf\xC3\xA9.");
}

} // namespace
} // namespace ostrel::app
