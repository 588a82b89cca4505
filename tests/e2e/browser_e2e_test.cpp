// The browser contract over the real engine: completions of frames, cache bypass, the silent flag.
#include "modalwatcher.h"
#include "pagescript.h"
#include "qtprint.h"
#include "standin.h"
#include "testprofile.h"

#include "host/guipause.h"
#include "web/webenginebrowser.h"

#include <QApplication>
#include <QColor>
#include <QDialog>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>
#include <QWebEngineHistory>

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using testing::originOf;
using testing::StandIn;
using testing::TestProfile;
using testing::waitFor;

struct Completion {
    bool topLevel;
    std::string url;
};

struct Browsing {
    StandIn standIn;
    host::GuiPause pause;
    web::WebEngineBrowser browser{TestProfile::Get(), pause, {}, nullptr};
    std::vector<Completion> completions;

    Browsing()
    {
        browser.resize(800, 600);
        browser.show();
        browser.SetOnDocumentComplete([this](bool topLevel, const std::string& url) {
            completions.push_back({topLevel, url});
        });
    }
    std::string portal(const char* pathAndQuery) const
    {
        return (originOf(QStringLiteral("portal")) + QLatin1String(pathAndQuery)).toStdString();
    }
    bool loaded(const std::string& url)
    {
        return waitFor(
            [&] {
                for (const Completion& c : completions)
                    if (c.topLevel && c.url == url)
                        return true;
                return false;
            },
            15s);
    }
    int hitsOf(const QString& path) const
    {
        int hits = 0;
        for (const QJsonObject& request : standIn.requests())
            hits += request[u"path"].toString() == path;
        return hits;
    }
};

TEST(BrowserE2E, everyFrameAndThenThePageReportsItsCompletionWithItsAddress)
{
    Browsing b;
    ASSERT_TRUE(b.standIn.started());
    b.browser.Navigate(b.portal("/frames"));
    ASSERT_TRUE(b.loaded(b.portal("/frames")));
    ASSERT_TRUE(waitFor([&] { return b.completions.size() >= 3; }, 5s));

    std::vector<std::string> frames;
    for (const Completion& c : b.completions)
        if (!c.topLevel)
            frames.push_back(c.url);
    std::sort(frames.begin(), frames.end());
    EXPECT_EQ(frames, (std::vector<std::string>{b.portal("/frame/a"), b.portal("/frame/b")}));
    EXPECT_TRUE(b.completions.back().topLevel);
    EXPECT_EQ(b.browser.DocumentUrl(), b.portal("/frames"));
}

// The keyboard's focus ring in the page stands out at least 3:1 against white and the page's
// background, in the engine's own colours and in forced ones (ctest runs it again with
// --force-high-contrast); the page's own rule about it wins, but not over forced colours.
TEST(BrowserE2E, theFocusRingStandsOutUnlessThePageSaysOtherwise)
{
    Browsing b;
    ASSERT_TRUE(b.standIn.started());
    b.browser.Navigate(b.portal("/reader"));
    ASSERT_TRUE(b.loaded(b.portal("/reader")));
    b.browser.activateWindow();
    b.browser.setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(waitFor(
        [&] { return testing::Evaluate(b.browser.page(), QStringLiteral("document.hasFocus()")).toBool(); },
        5s));
    const auto colour = [&](const char* style) { // "rgb(r, g, b)"; transparent reads as white
        const QStringList parts = testing::Evaluate(b.browser.page(), QLatin1String(style))
                                      .toString()
                                      .remove(QRegularExpression(QStringLiteral("[^0-9,.]")))
                                      .split(u',');
        return parts.size() == 4 && parts[3].toDouble() == 0
                   ? QColor(Qt::white)
                   : QColor(parts.value(0).toInt(), parts.value(1).toInt(), parts.value(2).toInt());
    };
    const auto luminance = [](const QColor& c) { // relative, as the contrast ratio takes it
        double sum = 0;
        for (const auto& [v, weight] :
             {std::pair{c.redF(), 0.2126}, {c.greenF(), 0.7152}, {c.blueF(), 0.0722}})
            sum += weight * (v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
        return sum;
    };
    const auto contrast = [&](const QColor& a, const QColor& b) {
        return (std::max(luminance(a), luminance(b)) + 0.05) / (std::min(luminance(a), luminance(b)) + 0.05);
    };
    const char* ring = "getComputedStyle(document.activeElement).outlineColor";
    const QColor drawn = colour(ring);
    EXPECT_GE(contrast(drawn, Qt::white), 3.0) << drawn.name().toStdString();
    EXPECT_GE(contrast(drawn, colour("getComputedStyle(document.body).backgroundColor")), 3.0);
    const bool forced =
        testing::Evaluate(b.browser.page(), QStringLiteral("matchMedia('(forced-colors: active)').matches"))
            .toBool();
    testing::Evaluate(b.browser.page(), QStringLiteral("document.head.insertAdjacentHTML('beforeend',"
                                                       " '<style>input { outline-color: red }</style>')"));
    EXPECT_EQ(colour(ring), forced ? drawn : QColor(Qt::red));
}

TEST(BrowserE2E, navigateWithoutCacheAsksTheServerWhereAPlainNavigateUsesTheCache)
{
    Browsing b;
    ASSERT_TRUE(b.standIn.started());
    const std::string cached = b.portal("/cached");
    b.browser.Navigate(cached);
    ASSERT_TRUE(b.loaded(cached));
    b.browser.Navigate(b.portal("/elsewhere"));
    ASSERT_TRUE(b.loaded(b.portal("/elsewhere")));
    b.completions.clear();
    b.browser.Navigate(cached);
    ASSERT_TRUE(b.loaded(cached));
    EXPECT_EQ(b.hitsOf(QStringLiteral("/cached")), 1) << "the second plain visit came from the cache";

    b.completions.clear();
    b.browser.Navigate(cached, host::navNoReadFromCache);
    ASSERT_TRUE(b.loaded(cached));
    EXPECT_EQ(b.hitsOf(QStringLiteral("/cached")), 2);
    EXPECT_EQ(b.standIn.requests().last()[u"headers"][u"Cache-Control"].toString(), u"no-cache");
}

TEST(BrowserE2E, navigateWithoutHistoryReplacesTheCurrentEntry)
{
    Browsing b;
    ASSERT_TRUE(b.standIn.started());
    b.browser.Navigate(b.portal("/one"));
    ASSERT_TRUE(b.loaded(b.portal("/one")));
    b.browser.Navigate(b.portal("/two"));
    ASSERT_TRUE(b.loaded(b.portal("/two")));
    b.browser.Navigate(b.portal("/three"), host::navNoHistory);
    ASSERT_TRUE(b.loaded(b.portal("/three")));
    EXPECT_EQ(b.browser.history()->count(), 2);
    b.browser.back();
    ASSERT_TRUE(b.loaded(b.portal("/one")));
}

TEST(BrowserE2E, silentBrowserShowsNoScriptDialogButAnOrdinaryOneDoes)
{
    Browsing b;
    ASSERT_TRUE(b.standIn.started());
    int dialogs = 0;
    testing::PageDialogWatcher watcher(&b.browser, [&](web::PageDialog*) {
        ++dialogs;
        web::PageDialog::Dismiss(&b.browser);
    });

    b.browser.SetSilent(true);
    b.browser.Navigate(b.portal("/alert"));
    ASSERT_TRUE(b.loaded(b.portal("/alert")));
    ASSERT_TRUE(testing::PageCaughtUp(b.browser.page()));
    EXPECT_EQ(dialogs, 0);

    b.browser.SetSilent(false);
    b.completions.clear();
    b.browser.Navigate(b.portal("/alert?again"));
    EXPECT_TRUE(waitFor([&] { return dialogs == 1; }, 15s));
}

// Silent, a page's confirm() is answered as if cancelled, not as if the user had said yes.
TEST(BrowserE2E, silentConfirmIsCancelled)
{
    Browsing b;
    ASSERT_TRUE(b.standIn.started());
    b.browser.SetSilent(true);
    b.browser.Navigate(b.portal("/hostile/confirm"));
    EXPECT_TRUE(waitFor([&] { return b.browser.title().startsWith(u"confirm:"); }, 15s));
    EXPECT_EQ(b.browser.title(), u"confirm:false");
}

// Emptying the cache stops a load under way. Our own POST is asked again as it was; a load of the
// page's own, whose form data we never had, stays stopped and the page it was leaving is reloaded.
TEST(BrowserE2E, aCacheClearDuringALoadAsksOurPostAgainAsAPostAndLeavesThePagesOwnStopped)
{
    Browsing b;
    ASSERT_TRUE(b.standIn.started());
    const std::vector<std::uint8_t> body{'a', '=', '1'};
    b.browser.Navigate(host::Request{
        b.portal("/slow?ms=1500"), 0, body, {{"Content-Type", "application/x-www-form-urlencoded"}}, {}});
    ASSERT_TRUE(waitFor([&] { return b.standIn.requestsTo(QStringLiteral("/slow")).size() == 1; }, 10s));
    b.browser.ClearCache();
    b.browser.Refresh2();
    ASSERT_TRUE(waitFor([&] { return b.standIn.requestsTo(QStringLiteral("/slow")).size() == 2; }, 15s));
    const QJsonObject again = b.standIn.requestsTo(QStringLiteral("/slow")).last();
    EXPECT_EQ(again[u"method"].toString(), u"POST");
    EXPECT_EQ(again[u"body"].toString(), u"a=1");
    ASSERT_TRUE(b.loaded(b.portal("/slow?ms=1500")));

    b.browser.Navigate(b.portal("/form-page"));
    ASSERT_TRUE(b.loaded(b.portal("/form-page")));
    b.browser.page()->runJavaScript(QStringLiteral(
        "var f = document.createElement('form'); f.method = 'post'; f.action = '/slow?ms=3000';"
        " var i = document.createElement('input'); i.name = 'b'; i.value = '2'; f.appendChild(i);"
        " document.body.appendChild(f); f.submit();"));
    ASSERT_TRUE(waitFor([&] { return b.standIn.requestsTo(QStringLiteral("/slow")).size() == 3; }, 10s));
    b.completions.clear();
    b.browser.ClearCache();
    const qsizetype since = b.standIn.requests().size();
    b.browser.Refresh2();
    EXPECT_TRUE(b.loaded(b.portal("/form-page"))) << "the page it was on, reloaded";
    b.browser.Navigate(b.portal("/marker"));
    const auto between = b.standIn.requestsBefore(QStringLiteral("/marker"), since);
    ASSERT_TRUE(between);
    EXPECT_TRUE(std::none_of(between->begin(), between->end(),
                             [](const QJsonObject& r) { return r[u"path"].toString() == u"/slow"; }))
        << "the page's own POST is not sent again";
}

} // namespace
} // namespace ostrel
