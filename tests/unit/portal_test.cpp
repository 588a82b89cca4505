// The version data the portal receives: bodies, header, addresses and the Citrix Receiver lookup.
#include "fakes.h"

#include "base/errors.h"
#include "navigation/formencode.h"
#include "navigation/portal.h"

#include <gtest/gtest.h>

namespace ostrel::navigation {
namespace {

using host::RegType;
using testing::CallLog;
using testing::FakeBrowser;
using testing::FakeRegistry;

constexpr char kCitrixKey[] =
    "SOFTWARE\\Citrix\\Receiver\\InstallDetect\\{A9852000-047D-11DD-95FF-0800200C9A66}";

std::string bodyOf(const host::Request& post)
{
    return {post.body.begin(), post.body.end()};
}

struct PostedVersion {
    std::string body;
    std::size_t count;
};

PostedVersion postWithRegistry(FakeRegistry& registry, bool includeCitrix = true)
{
    CallLog log;
    FakeBrowser browser(log);
    PortalRequests(browser, registry).PostVersionData(includeCitrix);
    EXPECT_EQ(browser.requests.size(), 1u);
    return {bodyOf(browser.requests.at(0)), browser.requests.at(0).body.size()};
}

TEST(VersionPost, bodyCarriesEmptyCitrixFieldWhenReceiverIsAbsent)
{
    FakeRegistry noKey;
    EXPECT_EQ(postWithRegistry(noKey).body, "version=6.9&citrixversion=");
    EXPECT_EQ(postWithRegistry(noKey).count, 26u);

    FakeRegistry keyWithoutValue;
    keyWithoutValue.AddKey(kCitrixKey);
    EXPECT_EQ(postWithRegistry(keyWithoutValue).body, "version=6.9&citrixversion=");

    FakeRegistry emptyValue;
    emptyValue.SetValue(kCitrixKey, "DisplayVersion", RegType::Sz, "");
    EXPECT_EQ(postWithRegistry(emptyValue).body, "version=6.9&citrixversion=");
}

TEST(VersionPost, bodyCarriesStringDisplayVersionUpToItsNul)
{
    FakeRegistry registry;
    registry.SetValue(std::string("\\") + kCitrixKey, "displayversion", RegType::Sz,
                      std::string("14.12.0.18020\0junk", 18));
    const PostedVersion posted = postWithRegistry(registry);
    EXPECT_EQ(posted.body, "version=6.9&citrixversion=14.12.0.18020");
    EXPECT_EQ(posted.count, 39u);
}

TEST(VersionPost, expandableDisplayVersionIsSentUnexpanded)
{
    FakeRegistry registry;
    registry.SetValue(kCitrixKey, "DisplayVersion", RegType::ExpandSz, std::string("%VER%\0", 6));
    EXPECT_EQ(postWithRegistry(registry).body, "version=6.9&citrixversion=%25VER%25");
}

TEST(VersionPost, displayVersionCannotInjectFormFields)
{
    FakeRegistry registry;
    registry.SetValue(kCitrixKey, "DisplayVersion", RegType::Sz, "1.0&version=9 x");
    EXPECT_EQ(postWithRegistry(registry).body, "version=6.9&citrixversion=1.0%26version%3D9+x");
}

TEST(VersionPost, nonStringDisplayVersionIsAnInvalidTypeErrorAndNothingIsSent)
{
    for (RegType type : {RegType::Dword, RegType::Binary, RegType::MultiSz}) {
        FakeRegistry registry;
        registry.SetValue(kCitrixKey, "DisplayVersion", type, std::string("\x19\x00\x00\x00", 4));
        CallLog log;
        FakeBrowser browser(log);
        try {
            PortalRequests(browser, registry).PostVersionData(true);
            FAIL() << "no error for type " << static_cast<int>(type);
        } catch (const RegistryError& e) {
            EXPECT_STREQ(e.what(), "Invalid data type for 'DisplayVersion'");
        }
        EXPECT_TRUE(log.empty());
        EXPECT_EQ(registry.opened, registry.closed) << "the key is closed on the error path";
    }
}

TEST(VersionPost, unreadableDisplayVersionIsAFailedToGetError)
{
    FakeRegistry registry;
    registry.SetUnreadable(kCitrixKey, "DisplayVersion");
    EXPECT_THROW(
        {
            try {
                CitrixReceiverVersion(registry);
            } catch (const RegistryError& e) {
                EXPECT_STREQ(e.what(), "Failed to get data for 'DisplayVersion'");
                throw;
            }
        },
        RegistryError);
    EXPECT_EQ(registry.opened, registry.closed);
}

TEST(VersionPost, shortBodyNeverCarriesTheCitrixVersion)
{
    FakeRegistry registry;
    registry.SetValue(kCitrixKey, "DisplayVersion", RegType::Dword, "abcd");
    const PostedVersion posted = postWithRegistry(registry, /*includeCitrix=*/false);
    EXPECT_EQ(posted.body, "version=6.9");
    EXPECT_EQ(posted.count, 11u);
    EXPECT_EQ(registry.opened, 0) << "the short body does not look the version up";
}

TEST(VersionPost, goesToThePortalBaseUrlWithTheFormHeaderOnly)
{
    FakeRegistry registry;
    CallLog log;
    FakeBrowser browser(log);
    PortalRequests(browser, registry).PostVersionData(true);
    EXPECT_EQ(browser.requests.at(0).url, PortalBaseUrl());
    using Fields = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(browser.requests.at(0).headers, (Fields{{"Content-Type", "application/x-www-form-urlencoded"}}));
}

TEST(PortalAddresses, versionStampedPageFollowsTheBaseUrlWithoutASlash)
{
    const std::string base = PortalBaseUrl();
    ASSERT_FALSE(base.empty());
    EXPECT_NE(base.back(), '/');
    EXPECT_EQ(VersionStampedPortalUrl(), base + "?version=6.9");

    CallLog log;
    FakeBrowser browser(log);
    FakeRegistry registry;
    PortalRequests(browser, registry).OpenVersionStampedPortalPage(2);
    EXPECT_EQ(log, CallLog{"Navigate " + base + "?version=6.9 flags 2"});
}

TEST(FormEncode, keepsVersionsAndEscapesEverythingElse)
{
    EXPECT_EQ(FormEncode("14.12.0.18020"), "14.12.0.18020");
    EXPECT_EQ(FormEncode("a b&c=d%e+f/g"), "a+b%26c%3Dd%25e%2Bf%2Fg");
    EXPECT_EQ(FormEncode("\xC3\xA9\x01"), "%C3%A9%01");
    EXPECT_EQ(FormEncode(""), "");
}

} // namespace
} // namespace ostrel::navigation
