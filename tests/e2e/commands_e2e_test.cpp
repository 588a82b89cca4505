// The header's commands and keys end to end: the real window, engine, probe and shell seams against
// the stand-in portal and gateways.
#include "livewindow.h"
#include "modalwatcher.h"
#include "pagescript.h"
#include "qtprint.h"
#include "standin.h"

#include "app/switches.h"
#include "host/backgroundprobe.h"
#include "host/curlprobe.h"
#include "host/guipause.h"
#include "host/qtmessagedialog.h"
#include "host/regstore.h"
#include "navigation/ftphandoff.h"
#include "ui/TWebNavigator.h"
#include "web/pagedialog.h"
#include "web/webenginebrowser.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineHistory>

#include <gtest/gtest.h>

#include <iostream>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using testing::originOf;
using testing::portal;
using testing::StandIn;
using testing::waitFor;

// The live window with the real probe and message dialogs, which it answers, keeping what they said.
struct Running : testing::LiveWindow {
    QStringList messages;
    QList<qint64> messageTimes;         // when each was seen, in ms since the epoch
    std::function<void()> beforeAnswer; // what the user does while a message is open
    testing::ModalWatcher<QMessageBox> dialogs{[this](QMessageBox* box) {
        messages.append(box->text());
        messageTimes.append(QDateTime::currentMSecsSinceEpoch());
        if (beforeAnswer)
            beforeAnswer();
        box->accept();
    }};

    Running()
    {
        fakes.services.probe =
            std::make_unique<host::BackgroundProbe>(
            std::make_unique<host::CurlProbe>("Ostrel Web", testing::TestProfile::Proxies()), pause);
        fakes.services.messages = std::make_unique<host::QtMessageDialog>();
        start();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(window->windowHandle(), key, modifiers);
    }
};

TEST(CommandsE2E, f5OpensTheVersionStampedPageAndReloadsItASecondLater)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Running r;
    ASSERT_TRUE(r.open(portal("/elsewhere")));

    const qint64 pressed = QDateTime::currentMSecsSinceEpoch();
    r.key(Qt::Key_F5);
    ASSERT_TRUE(waitFor([&] { return standIn.requestsTo(QStringLiteral("/")).size() >= 2; }, 15s));
    const QList<QJsonObject> gets = standIn.requestsTo(QStringLiteral("/"));
    EXPECT_EQ(gets[0][u"target"].toString(), u"/?version=6.9");
    EXPECT_EQ(gets[1][u"target"].toString(), u"/?version=6.9") << "the reload is of the new page";
    EXPECT_GE(gets[1][u"t_ms"].toInteger() - pressed, 950) << "the reload follows a one-second pause";
    EXPECT_TRUE(r.showing(portal("/?version=6.9")));
    EXPECT_EQ(standIn.requestsTo(QStringLiteral("/elsewhere")).size(), 1)
        << "the page being left is not reloaded";
}

TEST(CommandsE2E, f5ReloadWaitsForASlowPageToCommit)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Running r;
    ASSERT_TRUE(r.open(portal("/before")));
    // The page asked for takes 1.5 s: the reload after the one-second pause must wait for it.
    r.browser().Navigate(portal("/slow?ms=1500").toStdString(), host::navNoHistory);
    r.fakes.services.pause->Sleep(1000);
    r.browser().Refresh2();
    const bool reloaded =
        waitFor([&] { return standIn.requestsTo(QStringLiteral("/slow")).size() >= 2; }, 15s);
    QStringList seen;
    for (const QJsonObject& request : standIn.requests())
        seen << request[u"target"].toString();
    ASSERT_TRUE(reloaded) << seen.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(standIn.requestsTo(QStringLiteral("/before")).size(), 1);
}

TEST(CommandsE2E, compactModeSwitchesF2AndF4OffButNotF5F11F12)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Running r;
    r.window->ApplyCompactLayout();
    r.key(Qt::Key_F2);
    r.key(Qt::Key_F4);
    r.key(Qt::Key_F11); // acts: what F2 and F4 set off would come before it
    EXPECT_EQ(standIn.requestsBefore(QStringLiteral("/ostrelsupport"), 0), QList<QJsonObject>());
    EXPECT_TRUE(r.messages.isEmpty());
    EXPECT_TRUE(r.showing(originOf(QStringLiteral("remotesupport"))));
    r.key(Qt::Key_F12);
    EXPECT_EQ(r.fakes.shell->started, std::vector<std::string>{"calc.exe"});
    r.key(Qt::Key_F5, Qt::ControlModifier);
    EXPECT_TRUE(r.showing(portal("/?version=6.9")));
    ASSERT_TRUE(waitFor([&] { return standIn.requestsTo(QStringLiteral("/")).size() == 2; }, 15s))
        << "page and reload";
    const int before = standIn.requests().size();
    r.key(Qt::Key_F5, Qt::AltModifier);
    r.key(Qt::Key_F11);
    EXPECT_EQ(standIn.requestsBefore(QStringLiteral("/ostrelsupport"), before), QList<QJsonObject>())
        << "Alt+F5 fires nothing";
}

TEST(CommandsE2E, f4OpensTheFileExchangeAndEveryEmbeddedDestinationLoads)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Running r;
    r.key(Qt::Key_F4);
    EXPECT_TRUE(r.showing(portal("/index.php?mod=content&page=ftpssl")));
    const std::vector<std::pair<ui::TJvTransparentButton*, QString>> buttons{
        {r.window->BtnFormulieren,
         originOf(QStringLiteral("website")) + QStringLiteral("/download/download.asp")},
        {r.window->BtnDownloads, originOf(QStringLiteral("download")) + QStringLiteral("/?version=")},
        {r.window->BtnHelpdesk, originOf(QStringLiteral("servicedesk")) + QStringLiteral("/tas/public")},
        {r.window->btnPolisvoorwaarden, originOf(QStringLiteral("policy")) + QStringLiteral("/")},
    };
    for (const auto& [button, url] : buttons) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_TRUE(r.showing(url)) << url.toStdString();
    }
    QTest::mouseClick(r.window->JvImage1, Qt::LeftButton, {}, QPoint(20, 30));
    EXPECT_TRUE(r.showing(portal("/index.php?mod=content&page=contact")));

    QTest::mouseClick(r.window->BtnHome, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(waitFor(
        [&] {
            return !standIn.requests().isEmpty() &&
                   standIn.requests().last()[u"method"].toString() == u"POST";
        },
        15s));
    EXPECT_EQ(standIn.requests().last()[u"body"].toString(), u"version=6.9");
}

// What the user waits for after a click on Refresh: the message at once, the reload from the server
// once the cache is empty, also while a slow page is still on its way (which is not lost).
TEST(CommandsE2E, refreshSaysSoAtOnceAndTheReloadLands)
{
    struct Case {
        const char* what;
        const char* open; // address to be on (or on its way) when Refresh is clicked
        bool waitForIt;
        const char* reloaded; // path asked for twice once the reload has landed
    };
    // Their own addresses: an earlier test in this process may have cached "/cached".
    for (const Case& c : {Case{"page shown", "/cached?refresh", true, "/cached"},
                          Case{"slow page still loading", "/slow?ms=4000&refresh", false, "/slow"}}) {
        StandIn standIn;
        ASSERT_TRUE(standIn.started());
        Running r;
        if (c.waitForIt)
            ASSERT_TRUE(r.open(portal(c.open)));
        else
            r.browser().Navigate(portal(c.open).toStdString());
        ASSERT_TRUE(waitFor([&] { return !standIn.requestsTo(QString::fromLatin1(c.reloaded)).isEmpty(); }, 10s));
        const qint64 clicked = QDateTime::currentMSecsSinceEpoch();
        QTest::mouseClick(r.window->JvTransparentButton1, Qt::LeftButton, {}, QPoint(5, 5));
        ASSERT_TRUE(waitFor([&] { return r.messages.size() == 1; }, 15s)) << c.what;
        EXPECT_EQ(r.messages[0], u"Tijdelijke internetbestanden zijn verwijderd");
        const bool reloaded =
            waitFor([&] { return standIn.requestsTo(QString::fromLatin1(c.reloaded)).size() == 2; }, 15s);
        const qint64 toMessage = r.messageTimes[0] - clicked;
        const qint64 toReload =
            reloaded ? standIn.requestsTo(QString::fromLatin1(c.reloaded))[1][u"t_ms"].toInteger() - clicked
                     : -1;
        std::cout << "Refresh, " << c.what << ": click to message " << toMessage
                  << " ms, click to reload at the server " << toReload << " ms\n";
        EXPECT_LT(toMessage, 3000) << c.what << ": the message comes at once";
        EXPECT_TRUE(reloaded) << c.what << ": the reload came from the server";
        EXPECT_TRUE(r.showing(portal(c.open))) << c.what;
    }
}

struct GatewayCase {
    const char* what;
    QStringList standInArgs;
    QStringList leftOut;
    QString opens; // empty: the connection message
    int primaryProbes, secondaryProbes;
};

TEST(CommandsE2E, gatewayChoiceAgainstRealGateways)
{
    const QString primary = originOf(QStringLiteral("gateway1")) + QStringLiteral("/vpn/index.html?version=");
    const QString secondary =
        originOf(QStringLiteral("gateway2")) + QStringLiteral("/vpn/index.html?version=");
    const std::vector<GatewayCase> cases{
        {"primary answers", {}, {}, primary, 1, 0},
        {"primary refused", {}, {QStringLiteral("gateway1")}, secondary, 0, 1},
        {"primary 503", {QStringLiteral("--status"), QStringLiteral("gateway1=503")}, {}, secondary, 1, 1},
        {"primary 204", {QStringLiteral("--status"), QStringLiteral("gateway1=204")}, {}, secondary, 1, 1},
        {"both fail",
         {QStringLiteral("--status"), QStringLiteral("gateway1=500"), QStringLiteral("--status"),
          QStringLiteral("gateway2=404")},
         {},
         QString(),
         1,
         1},
    };
    for (const GatewayCase& c : cases) {
        StandIn standIn(c.standInArgs, c.leftOut);
        ASSERT_TRUE(standIn.started()) << c.what;
        Running r;
        r.key(Qt::Key_F2);
        if (c.opens.isEmpty()) {
            EXPECT_TRUE(waitFor([&] { return r.messages.size() == 1; }, 30s)) << c.what;
            EXPECT_EQ(r.messages.value(0), u"Er is een probleem met de verbinding!");
            testing::PassQueuedEvents();
            EXPECT_EQ(r.messages.size(), 1) << "the message is shown once";
        } else {
            EXPECT_TRUE(r.showing(c.opens)) << c.what;
        }
        // The probes carry the program's name as their agent; the page the browser opens is not one.
        int primaryProbes = 0, secondaryProbes = 0;
        for (const QJsonObject& request : standIn.requestsTo(QStringLiteral("/vpn/index.html")))
            if (request[u"headers"][u"User-Agent"].toString() == u"Ostrel Web")
                (request[u"roles"].toArray().contains(QStringLiteral("gateway1")) ? primaryProbes
                                                                                  : secondaryProbes)++;
        EXPECT_EQ(primaryProbes, c.primaryProbes) << c.what;
        EXPECT_EQ(secondaryProbes, c.secondaryProbes) << c.what;
        EXPECT_TRUE(r.browser().Silent() || !c.opens.isEmpty()) << "after a failure the silent flag stays on";
    }
}

// A gateway that never answers holds F2 for its ten seconds: meanwhile the window keeps painting
// (its event loop runs), and the pointer says the program is busy.
TEST(CommandsE2E, f2WithAHangingGatewayKeepsTheWindowAliveAndShowsItIsBusy)
{
    StandIn standIn({QStringLiteral("--status"), QStringLiteral("gateway1=hang")});
    ASSERT_TRUE(standIn.started());
    Running r;
    int ticks = 0;
    bool busy = false;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++ticks;
        busy = busy || (QGuiApplication::overrideCursor() &&
                        QGuiApplication::overrideCursor()->shape() == Qt::BusyCursor);
    });
    tick.start(50);
    QElapsedTimer clock;
    clock.start();
    r.key(Qt::Key_F2);
    const qint64 took = clock.elapsed();
    tick.stop();
    std::cout << "F2 with the primary gateway hanging: " << took << " ms, event loop ran " << ticks
              << " times meanwhile (every 50 ms)\n";
    EXPECT_GT(ticks, took / 50 / 2) << "the window's event loop ran throughout";
    EXPECT_TRUE(busy);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(r.showing(originOf(QStringLiteral("gateway2")) + QStringLiteral("/vpn/index.html?version=")));
}

TEST(CommandsE2E, aPageCannotCloseTheBrowser)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Running r;
    ASSERT_TRUE(r.open(portal("/stay")));
    r.browser().page()->runJavaScript(QStringLiteral("window.close()"));
    for (QWidget* inner : r.browser().findChildren<QWidget*>())
        QApplication::sendEvent(inner, new QCloseEvent);
    ASSERT_TRUE(testing::PageCaughtUp(r.browser().page())); // the page's request to close is in
    EXPECT_TRUE(r.window->isVisible());
    EXPECT_EQ(QString::fromStdString(r.browser().DocumentUrl()), portal("/stay"));
    r.browser().Navigate(portal("/still-works").toStdString());
    EXPECT_TRUE(r.showing(portal("/still-works")));
}

// F12 behind the program's own message runs, as it always has, and so it does behind the questions
// over the page (a site's login, the print dialog); behind a window of ours that waits for an
// answer (the page menu) no shortcut fires. A press on the header, as a screen reader makes it,
// closes what is open first, then acts.
TEST(CommandsE2E, shortcutsWorkBehindTheProgramsMessageAndThePagesQuestionsButNotBehindAMenu)
{
    StandIn standIn({QStringLiteral("--status"), QStringLiteral("gateway1=500"), QStringLiteral("--status"),
                     QStringLiteral("gateway2=500")});
    ASSERT_TRUE(standIn.started());
    Running r;
    r.dialogs.stop();
    ASSERT_TRUE(r.open(portal("/")));
    QList<std::size_t> calculators; // started once each question's F12 and header click were handled
    bool pressed = false;
    qsizetype i = 0;
    const std::function<void()> questions[] = {
        [&] { r.key(Qt::Key_F2); },
        [&] { r.browser().Navigate(portal("/auth").toStdString()); },
        [&] { r.browser().PrintWithDialog(); },
        [&] { // a right click before the new page's first frame is dropped: again until the menu comes
            for (int tries = 0; tries < 20 && !pressed; ++tries) {
                QTest::mouseClick(r.browser().focusProxy(), Qt::RightButton, {}, QPoint(60, 60));
                waitFor([&] { return pressed; }, 500ms);
            }
        },
    };
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* open = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                          : QApplication::activeModalWidget();
        if (auto* overPage = web::ViewOverlay::Over<web::PageDialog>(&r.browser()).value(0);
            !open && overPage)
            open = overPage->focusWidget();
        if (!open)
            return;
        user.stop();
        QTest::keyClick(open, Qt::Key_F12);
        pressed = true;
        r.window->BtnBestanden->Click();
        if (auto* message = qobject_cast<QMessageBox*>(open))
            message->accept();
    });
    for (i = 0; i < qsizetype(std::size(questions)); ++i) {
        pressed = false;
        user.start(50);
        QTimer::singleShot(0, questions[i]);
        // Bestanden's page has loaded once its silent flag is off again: the next question may come.
        EXPECT_TRUE(waitFor(
            [&] { return standIn.requestsTo(QStringLiteral("/index.php")).size() == i + 1 && !r.browser().Silent(); },
            15s));
        calculators << r.fakes.shell->started.size();
    }
    EXPECT_EQ(calculators, (QList<std::size_t>{1, 2, 3, 3})) << "F12 behind all but the menu";
}

TEST(CommandsE2E, ftpAddressIsOpenedOnceMoreAndThenLeftAlone)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Running r;
    int completed = 0;
    r.browser().SetOnDocumentComplete([&](bool topLevel, const std::string& url) {
        completed += topLevel;
        r.window->WebBrowserDocumentComplete(topLevel, url);
    });
    r.browser().SetSilent(true);
    r.browser().Navigate(portal("/exchange?next=ftp://files.example/").toStdString());
    ASSERT_TRUE(waitFor([&] { return completed == 2; }, 15s));
    const qsizetype since = standIn.requests().size();
    r.browser().Navigate(portal("/marker").toStdString());
    EXPECT_EQ(standIn.requestsBefore(QStringLiteral("/marker"), since), QList<QJsonObject>())
        << "the guard stops the second hand-off";
    EXPECT_EQ(standIn.requestsTo(QStringLiteral("/exchange")).size(), 2);
    EXPECT_FALSE(r.browser().Silent());
}

// Every completed document turns the silent flag off, a frame's as well as the page's: a frame that
// a page adds once it has loaded completes on its own.
TEST(CommandsE2E, aFramesCompletionTurnsTheSilentFlagOff)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Running r;
    std::vector<bool> topLevel;
    r.browser().SetOnDocumentComplete([&](bool top, const std::string& url) {
        topLevel.push_back(top);
        r.window->WebBrowserDocumentComplete(top, url);
    });
    ASSERT_TRUE(r.open(portal("/elsewhere")));
    // The page's own completion may be told after its load has ended.
    ASSERT_TRUE(waitFor([&] { return !topLevel.empty() && topLevel.back(); }, 10s));
    topLevel.clear();
    r.browser().SetSilent(true);
    r.browser().page()->runJavaScript(QStringLiteral(
        "var f = document.createElement('iframe'); f.src = '/frame/a'; document.body.appendChild(f);"));
    ASSERT_TRUE(waitFor([&] { return !topLevel.empty(); }, 10s));
    EXPECT_EQ(topLevel, std::vector<bool>{false}) << "the frame's completion alone";
    EXPECT_FALSE(r.browser().Silent());
}

// A destination clicked while another page is still loading: stopping that load is no completed
// document, so the silent flag holds until the destination itself has loaded, and its dialogs
// stay away.
TEST(CommandsE2E, aStoppedLoadLeavesTheSilentFlagOnUntilTheDestinationHasLoaded)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Running r;
    r.browser().Navigate(portal("/slow?ms=5000").toStdString());
    ASSERT_TRUE(waitFor([&] { return !standIn.requestsTo(QStringLiteral("/slow")).isEmpty(); }, 10s));
    std::vector<bool> silentAtCompletion;
    r.browser().SetOnDocumentComplete([&](bool, const std::string& url) {
        silentAtCompletion.push_back(r.browser().Silent());
        r.window->WebBrowserDocumentComplete(true, url);
    });
    r.browser().SetSilent(true);
    r.browser().Navigate(portal("/alert").toStdString(), host::navNoHistory);
    ASSERT_TRUE(r.showing(portal("/alert")));
    ASSERT_TRUE(waitFor([&] { return !r.browser().Silent(); }, 10s));
    ASSERT_TRUE(testing::PageCaughtUp(r.browser().page())) << "the page's alert on its load event is answered";
    EXPECT_EQ(silentAtCompletion, std::vector<bool>{true}) << "one completion: the destination's";
    EXPECT_TRUE(r.messages.isEmpty())
        << "the alert was shown: " << r.messages.join(QLatin1Char('|')).toStdString();
}

// The engine cannot open ftp:// itself: a navigation of ours hands the address to the desktop,
// once each, and the page stays where it was and usable. A page's script gets nowhere, with a click
// of its own making or without (the user's click asks first: see the hostile pages' tests).
// An ftp:// address the engine cannot show goes to the desktop: ours each time, one the insurer's
// page goes to by itself once until another document is there, and no question about either.
TEST(CommandsE2E, ftpAddressesOfOursAndOfTheInsurersPagesGoToTheDesktopWithoutAQuestion)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Running r;
    ASSERT_TRUE(
        r.open(portal("/hostile/navigate?n=20&every=40&to=ftp%3A%2F%2F127.0.0.1%3A47299%2Ffile.txt")));
    const std::string file = "ftp://127.0.0.1:47299/file.txt";
    const auto handedOver = [&](std::size_t n) {
        return waitFor([&] { return r.fakes.shell->opened.size() >= n; }, 5s) &&
               r.fakes.shell->opened.back() == file;
    };
    EXPECT_TRUE(handedOver(1)) << "the portal page's script";
    r.browser().Navigate(file, host::navNoHistory);
    EXPECT_TRUE(handedOver(2)) << "our own no-history navigation";
    r.browser().Navigate(file);
    EXPECT_TRUE(handedOver(3)) << "our own plain navigation";
    // The page's last navigation is made: another then would take the place of the next of ours.
    ASSERT_TRUE(r.titled(u"(done)"));
    QTest::mouseClick(r.window->BtnFormulieren, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(r.showing(originOf(QStringLiteral("website")) + QStringLiteral("/download/download.asp")));
    EXPECT_EQ(r.fakes.shell->opened.size(), 3u) << "the page's twenty, once";
    EXPECT_TRUE(web::ViewOverlay::Over<web::PageDialog>(r.window->WebBrowser).isEmpty());
}

// A navigation the program starts sends no Referer, as a typed address does not: the portal's
// address does not travel to the other destinations. The page's own navigations keep theirs.
TEST(CommandsE2E, ourNavigationsSendNoRefererThePagesOwnDo)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Running r;
    ASSERT_TRUE(r.open(portal("/from")));
    r.key(Qt::Key_F4);
    ASSERT_TRUE(r.showing(portal("/index.php?mod=content&page=ftpssl")));
    QTest::mouseClick(r.window->BtnHelpdesk, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(r.showing(originOf(QStringLiteral("servicedesk")) + QStringLiteral("/tas/public")));
    r.browser().page()->runJavaScript(QStringLiteral("location.href = '/linked';"));
    ASSERT_TRUE(r.showing(originOf(QStringLiteral("servicedesk")) + QStringLiteral("/linked")));

    const auto referer = [&](const char* path) {
        const QList<QJsonObject> requests = standIn.requestsTo(QString::fromLatin1(path));
        return requests.isEmpty() ? QStringLiteral("(not asked)")
                                  : requests[0][u"headers"][u"Referer"].toString();
    };
    EXPECT_EQ(referer("/index.php"), QString()) << "F4";
    EXPECT_EQ(referer("/tas/public"), QString()) << "Support";
    EXPECT_EQ(referer("/linked"), originOf(QStringLiteral("servicedesk")) + QStringLiteral("/tas/public"));
}

// A registry store that cannot be read holds no Receiver: Downloads and OWS still open, with an
// empty version, and the store is left as it was.
TEST(CommandsE2E, aBrokenRegistryStoreLeavesDownloadsAndOwsWorking)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("HKEY_CURRENT_USER.reg"));
    const QByteArray broken("no registry here\n");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(broken) == broken.size());
    file.close();
    Running r;
    r.fakes.services.registry = std::make_unique<host::RegFileStore>(path);
    r.window.reset();
    r.start();
    QTest::mouseClick(r.window->BtnDownloads, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(r.showing(originOf(QStringLiteral("download")) + QStringLiteral("/?version=")));
    r.key(Qt::Key_F2);
    EXPECT_TRUE(r.showing(originOf(QStringLiteral("gateway1")) + QStringLiteral("/vpn/index.html?version=")));
    EXPECT_TRUE(r.messages.isEmpty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), broken);
}

// The pointer leaves a button while the message its click raised is open: once the message is
// closed, the button has no frame left.
TEST(CommandsE2E, aButtonLetGoDuringItsMessageLosesItsHoverFrame)
{
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen")
        GTEST_SKIP() << "needs a pointer of the window system";
    StandIn standIn({QStringLiteral("--status"), QStringLiteral("gateway1=500"), QStringLiteral("--status"),
                     QStringLiteral("gateway2=500")});
    ASSERT_TRUE(standIn.started());
    Running r;
    ui::TJvTransparentButton* ows = r.window->BtnOWS;
    QCursor::setPos(ows->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(waitFor([&] { return ows->PointerInside(); }, 5s));
    r.beforeAnswer = [&] { QCursor::setPos(r.window->mapToGlobal(QPoint(600, 600))); };
    QTest::mouseClick(ows, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(r.messages.size(), 1);
    EXPECT_TRUE(waitFor([&] { return !ows->PointerInside() && !ows->MouseButtonDown(); }, 5s));
}

} // namespace
} // namespace ostrel
