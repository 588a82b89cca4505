// Start-up against the stand-in portal with the real engine: what the portal receives and when,
// and what the user sees.
#include "modalwatcher.h"
#include "pagescript.h"
#include "qtprint.h"
#include "standin.h"
#include "testprofile.h"

#include "ui/TApplication.h"
#include "app/startup.h"
#include "host/services.h"
#include "navigation/portal.h"
#include "ui/TWebNavigator.h"
#include "web/webenginebrowser.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineHistory>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using testing::portal;
using testing::StandIn;
using testing::TestProfile;
using testing::waitFor;

QString registryStorePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ostrel-web/HKEY_CURRENT_USER.reg");
}

void writeRegistryStore(const QByteArray& content)
{
    QDir().mkpath(QFileInfo(registryStorePath()).path());
    QFile file(registryStorePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

// How long after the start-up sequence began the window was first shown, on the program's clock.
class ShowClock : public QObject {
public:
    QElapsedTimer sinceStart;
    qint64 shownAfterMs = -1;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && shownAfterMs < 0)
            shownAfterMs = sinceStart.elapsed();
        return false;
    }
};

// Answers every error box that opens, keeping what it said.
struct ErrorBoxWatcher {
    struct Seen {
        QString caption, text;
        QMessageBox::Icon icon;
        QString iconName; // what a screen reader says of the icon
    };
    QList<Seen> seen;
    std::function<void(QMessageBox*)> whileOpen; // what the user does before answering
    testing::ModalWatcher<QMessageBox> watcher{[this](QMessageBox* box) {
        const auto* icon = box->findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"));
        seen.append({box->windowTitle(), box->text(), box->icon(), icon ? icon->accessibleName() : QString()});
        if (whileOpen)
            whileOpen(box);
        box->accept();
    }};
};

struct StartedWindow {
    host::Services services = host::PlatformServices({"/opt/ostrel/ostrel-web", {}}, TestProfile::Proxies());
    ui::TWebNavigator window{services, TestProfile::Get()};
    ShowClock clock;

    // As the program's entry does it: create, run the start-up sequence, show.
    void start()
    {
        window.installEventFilter(&clock);
        clock.sinceStart.start();
        ui::TApplication::Guarded([&] { window.FormCreate(); });
        window.show();
    }
};

TEST(StartupE2E, portalGetsTheVersionsThenTheVersionStampedPageTwoSecondsLater)
{
    QFile::remove(registryStorePath());
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    StartedWindow started;
    started.start();

    ASSERT_TRUE(waitFor([&] { return standIn.requests().size() >= 2; }, 15s));
    const QList<QJsonObject> requests = standIn.requests();
    const QJsonObject post = requests[0];
    const QJsonObject get = requests[1];
    EXPECT_EQ(post[u"method"].toString(), u"POST");
    EXPECT_EQ(post[u"target"].toString(), u"/");
    EXPECT_EQ(post[u"body"].toString(), u"version=6.9&citrixversion=");
    EXPECT_EQ(post[u"headers"][u"Content-Type"].toString(), u"application/x-www-form-urlencoded");
    EXPECT_EQ(get[u"method"].toString(), u"GET");
    EXPECT_EQ(get[u"target"].toString(), u"/?version=6.9");

    // The pause on the program's clock; at the server, the POST's way there (the engine's first
    // request) may take longer than the GET's.
    EXPECT_GE(started.clock.shownAfterMs, app::kStartupPauseMs) << "shown only after the pause";
    const qint64 pause = get[u"t_ms"].toInteger() - post[u"t_ms"].toInteger();
    EXPECT_GE(pause, 1000);
    EXPECT_LE(pause, 6000);

    EXPECT_EQ(started.window.windowTitle(), u"Ostrel Web 6.9");
    EXPECT_TRUE(started.window.windowState() & Qt::WindowMaximized);
    EXPECT_TRUE(started.window.isVisible());

    const std::string stamped = navigation::VersionStampedPortalUrl();
    EXPECT_EQ(stamped, navigation::PortalBaseUrl() + "?version=6.9");
    // The request had an empty path; the engine reports the document's address with its "/".
    const std::string shown = navigation::PortalBaseUrl() + "/?version=6.9";
    EXPECT_TRUE(waitFor(
        [&] {
            return started.window.WebBrowser->DocumentUrl() == shown &&
                   started.window.WebBrowser->title().startsWith(u"Stand-in");
        },
        15s))
        << started.window.WebBrowser->DocumentUrl();
    EXPECT_EQ(started.window.WebBrowser->history()->count(), 1) << "the page replaced the POST's entry";
    EXPECT_EQ(standIn.requests().size(), 2);

    // Dutch whatever the desktop's language: the portal is asked for it, the engine speaks it, and
    // so do Qt's own dialogs.
    for (const QJsonObject& request : {post, get})
        EXPECT_EQ(request[u"headers"][u"Accept-Language"].toString(), u"nl-NL,nl;q=0.9,en;q=0.8");
    EXPECT_EQ(
        testing::Evaluate(started.window.WebBrowser->page(), QStringLiteral("navigator.language")).toString(),
        u"nl-NL");
    EXPECT_EQ(QDialogButtonBox(QDialogButtonBox::Cancel).button(QDialogButtonBox::Cancel)->text(), u"Annuleren");

    QFile store(registryStorePath());
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    EXPECT_TRUE(store.readAll().contains("\"ostrel-web\"=dword:00002af9"))
        << "the emulation value was written";
}

// The portal cannot be reached at start: our page says so in Dutch, with the address, and once
// the portal is back "Opnieuw proberen" repeats the start-up's requests, the versions first.
TEST(StartupE2E, anUnreachablePortalSaysWhyAndTryingAgainRepeatsTheStartUpRequests)
{
    QFile::remove(registryStorePath());
    StartedWindow started;
    started.start();
    web::WebEngineBrowser& browser = *started.window.WebBrowser;
    const auto text = [&](const char* id) {
        return testing::Evaluate(browser.page(), QStringLiteral("(function () { var e = document.getElementById('%1');"
                                                                " return e ? e.textContent : ''; })()")
                                                     .arg(QLatin1String(id)))
            .toString();
    };
    const QString stamped = QString::fromStdString(navigation::PortalBaseUrl() + "/?version=6.9");
    ASSERT_TRUE(waitFor([&] { return browser.title() == u"Pagina niet bereikbaar" && text("address") == stamped; }, 15s))
        << browser.title().toStdString() << " " << text("address").toStdString();
    EXPECT_EQ(text("why"), u"De server weigert de verbinding.");
    EXPECT_EQ(text("retry"), u"Opnieuw proberen");
    EXPECT_EQ(QString::fromStdString(browser.DocumentUrl()), stamped);

    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    const qint64 clicked = QDateTime::currentMSecsSinceEpoch();
    browser.page()->runJavaScript(QStringLiteral("document.getElementById('retry').click()"));
    ASSERT_TRUE(waitFor([&] { return standIn.requests().size() >= 2; }, 15s));
    const QList<QJsonObject> requests = standIn.requests();
    std::cout << "click to the POST " << requests[0][u"t_ms"].toInteger() - clicked << " ms, to the page "
              << requests[1][u"t_ms"].toInteger() - clicked << " ms\n";
    EXPECT_EQ(requests[0][u"method"].toString(), u"POST");
    EXPECT_EQ(requests[0][u"body"].toString(), u"version=6.9&citrixversion=");
    EXPECT_EQ(requests[1][u"target"].toString(), u"/?version=6.9");
    // The POST leaves at the click (it reaches the server late here: the engine starts a renderer
    // for it, measured 0.8 s), the page after the 2 s pause.
    EXPECT_GE(requests[1][u"t_ms"].toInteger() - clicked, 1900);
    EXPECT_TRUE(waitFor([&] { return browser.title().startsWith(u"Stand-in"); }, 15s));
    EXPECT_EQ(standIn.requests().size(), 2);
}

// The portal asks for a login at start: the question waits for the window, comes once, and the
// portal still gets the versions, signed in, before the page.
TEST(StartupE2E, aLoginTheStartUpMeetsIsAskedOverTheShownWindowAndTheVersionsStillArrive)
{
    QFile::remove(registryStorePath());
    StandIn standIn({QStringLiteral("--portal-login")});
    ASSERT_TRUE(standIn.started());
    StartedWindow started;
    QList<bool> windowShown; // at each question
    testing::PageDialogWatcher user(started.window.WebBrowser, [&](web::PageDialog* dialog) {
        if (!dialog->accessibleName().startsWith(u"Aanmelden"))
            return;
        windowShown << started.window.isVisible();
        dialog->findChild<QLineEdit*>(QStringLiteral("user"))->setText(QStringLiteral("agent"));
        auto* password = dialog->findChild<QLineEdit*>(QStringLiteral("password"));
        password->setText(QStringLiteral("portaal"));
        QTest::keyClick(password, Qt::Key_Return);
    });
    started.start();

    const auto signedIn = [](const QJsonObject& request) {
        return request[u"headers"][u"Authorization"].toString() == u"Basic YWdlbnQ6cG9ydGFhbA==";
    };
    QList<QJsonObject> signedRequests;
    const auto landed = [&] {
        signedRequests.clear();
        for (const QJsonObject& request : standIn.requestsTo(QStringLiteral("/")))
            if (signedIn(request))
                signedRequests << request;
        return !signedRequests.isEmpty() && signedRequests.last()[u"method"].toString() == u"GET" &&
               started.window.WebBrowser->title().startsWith(u"Stand-in") &&
               !started.window.WebBrowser->page()->isLoading();
    };
    EXPECT_TRUE(waitFor(landed, 30s));
    EXPECT_EQ(windowShown, QList<bool>{true});
    // Once the user has signed in: the versions, then the page, each once.
    ASSERT_EQ(signedRequests.size(), 2);
    EXPECT_EQ(signedRequests[0][u"method"].toString(), u"POST");
    EXPECT_EQ(signedRequests[0][u"body"].toString(), u"version=6.9&citrixversion=");
    EXPECT_EQ(signedRequests[1][u"target"].toString(), u"/?version=6.9");
}

// A store that somebody damaged, or wrote in the Windows code page, does not keep the portal away:
// no error box, the versions and the page as usual, and a damaged file kept aside as it was.
TEST(StartupE2E, aDamagedOrEightBitStoreStillStartsOnThePortal)
{
    struct Case {
        const char* what;
        QByteArray content;
        bool keptAside;
    };
    for (const Case& c :
         {Case{"garbage", "\x01\x02 not a registry file \xFF", true},
          Case{"REGEDIT4 in Windows-1252",
               "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"City\"=\"Z\xFCrich\"\r\n", false}}) {
        const QString path = registryStorePath();
        QDir(QFileInfo(path).path()).removeRecursively();
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.content) == c.content.size());
        file.close();
        StandIn standIn;
        ASSERT_TRUE(standIn.started());
        ErrorBoxWatcher boxes;
        StartedWindow started;
        started.start();
        EXPECT_TRUE(boxes.seen.isEmpty()) << c.what << ": " << boxes.seen.value(0).text.toStdString();
        EXPECT_TRUE(waitFor([&] { return standIn.requestsTo(QStringLiteral("/")).size() == 2; }, 15s))
            << c.what;
        EXPECT_TRUE(started.window.windowState() & Qt::WindowMaximized) << c.what;
        const QStringList kept =
            QDir(QFileInfo(path).path()).entryList({QStringLiteral("HKEY_CURRENT_USER.reg.broken-*")});
        EXPECT_EQ(kept.size(), c.keptAside ? 1 : 0) << c.what;
        if (c.keptAside && kept.size() == 1) {
            QFile aside(QFileInfo(path).path() + QLatin1Char('/') + kept[0]);
            ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
            EXPECT_EQ(aside.readAll(), c.content);
        }
    }
    QFile::remove(registryStorePath());
}

TEST(StartupE2E, dwordDisplayVersionShowsOneErrorBoxAndAsksThePortalNothing)
{
    writeRegistryStore("Windows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_CURRENT_USER\\SOFTWARE\\Citrix\\Receiver\\InstallDetect\\"
                       "{A9852000-047D-11DD-95FF-0800200C9A66}]\r\n"
                       "\"DisplayVersion\"=dword:0000000e\r\n");
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    ErrorBoxWatcher boxes;
    // No shortcut while the error box is open: F5 and F4 there would ask the portal.
    boxes.whileOpen = [](QMessageBox* box) {
        for (const Qt::Key key : {Qt::Key_F5, Qt::Key_F4})
            QTest::keyClick(box->windowHandle(), key);
    };
    StartedWindow started;
    started.start();

    ASSERT_EQ(boxes.seen.size(), 1);
    EXPECT_EQ(boxes.seen[0].text, u"Invalid data type for 'DisplayVersion'");
    EXPECT_EQ(boxes.seen[0].caption, u"Ostrel Web");
    EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.seen[0].iconName, u"Fout");
    EXPECT_TRUE(started.window.windowState() & Qt::WindowMaximized) << "the maximise step had run";
    EXPECT_TRUE(started.window.isVisible());

    // The start-up has run with its pause: what it would have asked for is in before a later page.
    started.window.WebBrowser->Navigate(portal("/marker").toStdString());
    EXPECT_EQ(standIn.requestsBefore(QStringLiteral("/marker"), 0), QList<QJsonObject>());
    EXPECT_EQ(boxes.seen.size(), 1);
    QFile::remove(registryStorePath());
}

TEST(StartupE2E, unwritableStoreShowsTheIE11ErrorAndARestoredWindowWithoutRequests)
{
    // The store's folder cannot be made where a file of that name stands.
    QTemporaryDir config;
    QFile blocker(config.filePath(QStringLiteral("ostrel-web")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    ErrorBoxWatcher boxes;
    {
        StartedWindow started;
        started.start();
        ASSERT_EQ(boxes.seen.size(), 1);
        EXPECT_EQ(boxes.seen[0].text, u"Helaas het is niet mogelijk om IE11 te gebruiken.");
        EXPECT_EQ(boxes.seen[0].caption, u"Ostrel Web");
        EXPECT_FALSE(started.window.windowState() & Qt::WindowMaximized);
        EXPECT_TRUE(started.window.isVisible());
        EXPECT_EQ(started.window.windowTitle(), u"Ostrel Web 6.9");
        started.window.WebBrowser->Navigate(portal("/marker").toStdString());
        EXPECT_EQ(standIn.requestsBefore(QStringLiteral("/marker"), 0), QList<QJsonObject>());
    }
    qputenv("XDG_CONFIG_HOME", savedConfig);
}

} // namespace
} // namespace ostrel
