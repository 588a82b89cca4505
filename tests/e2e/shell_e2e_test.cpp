// What the browser shell does beyond the header, end to end against the stand-in portal:
// downloads, new windows, logins, certificates, permissions, printing and crashed pages.
#include "downloadpattern.h"
#include "livewindow.h"
#include "modalwatcher.h"
#include "pagescript.h"
#include "qtprint.h"
#include "readonscreen.h"
#include "standin.h"

#include "host/guipause.h"
#include "ui/TWebNavigator.h"
#include "web/downloadbar.h"
#include "web/popupwindow.h"
#include "web/webenginebrowser.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWindow>

#include <gtest/gtest.h>

#include <csignal>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using testing::originOf;
using testing::portal;
using testing::StandIn;
using testing::waitFor;
using standin::downloads::kPolicyPdf;
using standin::downloads::kUnknownBin;
using standin::downloads::PatternBytes;

// The page's elements are clicked by a script as soon as they exist (the address commits before the
// page is built).
struct Shell : testing::LiveWindow {
    Shell() { start(); }
    bool click(const char* id) { return testing::ClickWhenBuilt(browser().page(), QLatin1String(id)); }
};

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ShellE2E, downloadsLandInTheDownloadFolderUnderFreeNamesAndOpenFromTheirRow)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Shell s;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    QDir(folder).removeRecursively();
    ASSERT_TRUE(s.open(portal("/downloads")));

    const QByteArray policy = PatternBytes<QByteArray>(kPolicyPdf.size);
    ASSERT_TRUE(s.click("attachment"));
    const QString first = QDir(folder).filePath(QLatin1String(kPolicyPdf.name));
    ASSERT_TRUE(waitFor([&] { return contentsOf(first).size() == policy.size(); }, 20s));
    EXPECT_EQ(contentsOf(first), policy);

    ASSERT_TRUE(s.click("attachment"));
    const QString second = QDir(folder).filePath(QStringLiteral("policy (1).pdf"));
    ASSERT_TRUE(waitFor([&] { return contentsOf(second).size() == policy.size(); }, 20s))
        << "never over an existing file";
    EXPECT_EQ(contentsOf(first), policy);

    const QByteArray unknownBytes = PatternBytes<QByteArray>(kUnknownBin.size);
    ASSERT_TRUE(s.click("unknown"));
    const QString unknown = QDir(folder).filePath(QLatin1String(kUnknownBin.name));
    ASSERT_TRUE(waitFor([&] { return contentsOf(unknown).size() == unknownBytes.size(); }, 20s));
    EXPECT_EQ(contentsOf(unknown), unknownBytes);

    auto* bar = s.window->findChild<web::DownloadBar*>();
    EXPECT_TRUE(bar->isVisible());
    // The finished first file's own buttons: open it, show its folder.
    QList<QPushButton*> buttons = bar->findChildren<QPushButton*>();
    const auto button = [&](const QString& text) -> QPushButton* {
        for (QPushButton* b : buttons)
            if (b->text() == text)
                return b;
        return nullptr;
    };
    ASSERT_NE(button(QStringLiteral("Openen")), nullptr);
    ASSERT_NE(button(QStringLiteral("Map openen")), nullptr);
    s.fakes.shell->opened.clear();
    button(QStringLiteral("Openen"))->click();
    button(QStringLiteral("Map openen"))->click();
    EXPECT_EQ(s.fakes.shell->opened,
              (std::vector<std::string>{QUrl::fromLocalFile(first).toString().toStdString(),
                                        QUrl::fromLocalFile(folder).toString().toStdString()}));
    EXPECT_EQ(web::DownloadBar::FreeFileName(folder, QLatin1String(kPolicyPdf.name)), u"policy (2).pdf");
}

TEST(ShellE2E, aDownloadThatFailsShowsWhy)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Shell s;
    // The download breaks off as soon as it has begun.
    QObject::connect(s.browser().page()->profile(), &QWebEngineProfile::downloadRequested, s.window.get(),
                     [](QWebEngineDownloadRequest* download) {
                         QTimer::singleShot(0, download, &QWebEngineDownloadRequest::cancel);
                     });
    ASSERT_TRUE(s.open(portal("/downloads")));
    ASSERT_TRUE(s.click("unknown"));
    auto* bar = s.window->findChild<web::DownloadBar*>();
    const auto reasonShown = [&] {
        for (QLabel* label : bar->findChildren<QLabel*>())
            if (label->text() != QLatin1String(kUnknownBin.name) && !label->text().isEmpty())
                return true;
        return false;
    };
    ASSERT_TRUE(waitFor(reasonShown, 15s));
    EXPECT_TRUE(bar->isVisible());
    for (QPushButton* button : bar->findChildren<QPushButton*>())
        EXPECT_FALSE(button->isVisibleTo(bar) && button->text() == u"Openen") << "nothing to open";
}

TEST(ShellE2E, linksAndScriptsOpenAWindowOfOursThatSharesTheSessionAndMayCloseItself)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Shell s;
    ASSERT_TRUE(s.open(portal("/login")));
    ASSERT_TRUE(s.open(portal("/popup")));

    const auto popups = [] {
        int open = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            open += qobject_cast<web::PopupWindow*>(w) != nullptr && w->isVisible();
        return open;
    };
    ASSERT_TRUE(s.click("blank"));
    ASSERT_TRUE(waitFor([&] { return popups() == 1; }, 15s));
    ASSERT_TRUE(
        waitFor([&] { return standIn.requestsTo(QStringLiteral("/popup/target")).size() == 1; }, 15s));
    const QJsonObject target = [&] {
        for (const QJsonObject& request : standIn.requests())
            if (request[u"path"].toString() == u"/popup/target")
                return request;
        return QJsonObject();
    }();
    EXPECT_TRUE(target[u"headers"][u"Cookie"].toString().startsWith(u"ostrelsession="))
        << "the portal session carries over";

    web::PopupWindow* popup = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<web::PopupWindow*>(w); p && p->isVisible())
            popup = p;
    ASSERT_NE(popup, nullptr);
    waitFor([&] { return popup->page()->url().path() == u"/popup/target"; }, 10s);
    ASSERT_TRUE(testing::ClickWhenBuilt(popup->page(), QStringLiteral("close")));
    EXPECT_TRUE(waitFor([&] { return popups() == 0; }, 10s)) << "its page closed it";
    EXPECT_TRUE(s.window->isVisible());
}

TEST(ShellE2E, silentLoginIsCancelledAtOnceAndAnOrdinaryOneAsksTheUser)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Shell s;
    s.browser().SetSilent(true);
    // A retry storm would be within the load.
    ASSERT_TRUE(testing::LoadFinishes(s.browser().page(), [&] { s.browser().Navigate(portal("/auth").toStdString()); }));
    EXPECT_EQ(standIn.requestsTo(QStringLiteral("/auth")).size(), 1) << "no retry storm";

    s.browser().SetSilent(false);
    // The question over the page says who asks and that the answer goes unencrypted; Enter signs in.
    QString title, lines;
    testing::PageDialogWatcher answer(&s.browser(), [&](web::PageDialog* dialog) {
        if (!title.isEmpty())
            return;
        title = dialog->accessibleName();
        for (const QLabel* label : dialog->findChildren<QLabel*>())
            lines += label->text() + u'\n';
        dialog->findChild<QLineEdit*>(QStringLiteral("user"))->setText(QStringLiteral("ostrel"));
        auto* password = dialog->findChild<QLineEdit*>(QStringLiteral("password"));
        password->setText(QStringLiteral("secret"));
        QTest::keyClick(password, Qt::Key_Return);
    });
    s.browser().Navigate(portal("/auth?again").toStdString());
    ASSERT_TRUE(waitFor([&] { return standIn.requestsTo(QStringLiteral("/auth")).size() == 3; }, 15s));
    EXPECT_EQ(title, QStringLiteral("Aanmelden bij ") + originOf(QStringLiteral("portal")));
    EXPECT_TRUE(lines.contains(u"Let op: uw gegevens gaan onversleuteld over het netwerk"))
        << lines.toStdString();
    EXPECT_FALSE(lines.contains(u"Een ander adres")) << "the page itself asks";
    EXPECT_TRUE(waitFor(
        [&] {
            return s.browser().title().contains(u"Welcome") || s.browser().page()->url().path() == u"/auth";
        },
        5s));
}

TEST(ShellE2E, certificateErrorsAreNeverAcceptedAndAskNothing)
{
    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("c.pem")), key = dir.filePath(QStringLiteral("k.pem"));
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("openssl"),
                          {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                           QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-subj"),
                           QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-days"), QStringLiteral("2"),
                           QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert}),
        0);
    const QString port = QStringLiteral("47299");
    StandIn standIn({QStringLiteral("--https"), QStringLiteral("secure=") + port, QStringLiteral("--cert"),
                     cert, QStringLiteral("--key"), key});
    ASSERT_TRUE(standIn.started());
    Shell s;
    int dialogs = 0;
    testing::ModalWatcher<> watch([&](QWidget*) { ++dialogs; });
    s.browser().SetSilent(false);
    const auto ok = testing::LoadFinishes(
        s.browser().page(), [&] { s.browser().Navigate("https://127.0.0.1:" + port.toStdString() + "/"); });
    ASSERT_TRUE(ok);
    EXPECT_FALSE(*ok);
    // Our page, in Dutch: what is wrong, who could be listening, the address, and no way on.
    EXPECT_TRUE(waitFor([&] { return s.browser().title() == u"Verbinding niet veilig"; }, 10s))
        << s.browser().title().toStdString();
    const QString text =
        testing::Evaluate(s.browser().page(), QStringLiteral("document.body.innerText")).toString();
    for (const QString& expected :
         {QStringLiteral("niet uitgegeven door een bekende certificaatautoriteit"),
          QStringLiteral("inspectieapparaat"), QStringLiteral("https://127.0.0.1:") + port + u'/',
          QStringLiteral("Foutcode -202")})
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << " in " << text.toStdString();
    EXPECT_EQ(
        testing::Evaluate(s.browser().page(), QStringLiteral("document.querySelectorAll('a,button').length"))
            .toInt(),
        0);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(standIn.requestsTo(QStringLiteral("/")).size(), 0)
        << "no request went over the refused connection";
}

TEST(ShellE2E, permissionRequestsAreDeniedAtOnce)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Shell s;
    s.browser().setHtml(
        QStringLiteral("<script>navigator.geolocation.getCurrentPosition("
                       "() => document.title = 'allowed', e => document.title = 'denied ' + e.code);"
                       "</script>"),
        QUrl(portal("/permission")));
    EXPECT_TRUE(waitFor([&] { return s.browser().title().startsWith(u"denied"); }, 10s))
        << s.browser().title().toStdString();
}

// A click on the page's print button opens the print dialog over the page, and it and a page's
// confirm() read in Dutch on the screen (what Qt's translation and our own dialog put there, read
// back by OCR).
TEST(ShellE2E, thePagesPrintRequestAndConfirmAskInDutch)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Shell s;
    QString printDialog;
    testing::PageDialogWatcher print(&s.browser(), [&](web::PageDialog* dialog) {
        if (auto* content = dialog->findChild<QPrintDialog*>(); content && printDialog.isEmpty()) {
            printDialog = testing::ReadOnScreen(dialog, QStringLiteral("print-dialog"));
            content->reject();
        }
    });
    ASSERT_TRUE(s.open(portal("/print")));
    ASSERT_TRUE(testing::Click(&s.browser(), QStringLiteral("print")));
    ASSERT_TRUE(waitFor([&] { return !printDialog.isEmpty(); }, 15s));
    for (const char* word : {"Afdrukken", "Eigenschappen", "Annuleren", "Opties"})
        EXPECT_TRUE(printDialog.contains(QLatin1String(word))) << word << " in " << printDialog.toStdString();
    EXPECT_FALSE(printDialog.contains(u"Cancel")) << printDialog.toStdString();

    QString confirm;
    testing::PageDialogWatcher answer(&s.browser(), [&](web::PageDialog* dialog) {
        confirm = testing::ReadOnScreen(dialog, QStringLiteral("confirm"));
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            if (button->text() == u"Annuleren")
                button->click();
    });
    s.browser().Navigate(portal("/hostile/confirm").toStdString());
    EXPECT_TRUE(waitFor([&] { return s.browser().title() == u"confirm:false"; }, 15s));
    for (const char* words : {"meldt:", "Doorgaan?", "OK", "Annuleren"})
        EXPECT_TRUE(confirm.contains(QLatin1String(words))) << words << " in " << confirm.toStdString();
}

TEST(ShellE2E, ctrlPPrintsAndTheZoomKeysZoom)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Shell s;
    ASSERT_TRUE(s.open(portal("/zoom")));
    QWindow* window = s.window->windowHandle();
    QTest::keyClick(window, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_NEAR(s.browser().zoomFactor(), 1.1, 0.001);
    QTest::keyClick(window, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_NEAR(s.browser().zoomFactor(), 1.1, 0.001);
    QTest::keyClick(window, Qt::Key_0, Qt::ControlModifier);
    EXPECT_NEAR(s.browser().zoomFactor(), 1.0, 0.001);

    QTest::keyClick(window, Qt::Key_P, Qt::ControlModifier);
    const QList<web::PageDialog*> over = web::ViewOverlay::Over<web::PageDialog>(&s.browser());
    QPointer<QPrintDialog> dialog = over.isEmpty() ? nullptr : over[0]->findChild<QPrintDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(!dialog || !dialog->parentWidget()->isVisible()) << "the question over the page is gone";
}

TEST(ShellE2E, windowOpenGetsAWindowOfTheSizeItAskedFor)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Shell s;
    ASSERT_TRUE(s.open(portal("/popup")));
    ASSERT_TRUE(s.click("open"));
    web::PopupWindow* popup = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<web::PopupWindow*>(w); p && p->isVisible())
                    popup = p;
            return popup != nullptr;
        },
        15s));
    EXPECT_TRUE(waitFor([&] { return popup->size() == QSize(400, 300); }, 5s))
        << popup->width() << "x" << popup->height();
    popup->close();
}

TEST(ShellE2E, fileFieldOpensTheFileDialogOnlyWhenNotSilent)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Shell s;
    testing::DialogRejecter dialogs;
    // The silent flag goes off when a document completes: set it only once the page has.
    ASSERT_TRUE(testing::LoadFinishes(s.browser().page(), [&] {
        s.browser().setHtml(QStringLiteral("<input type=file id=file style='width:300px;height:40px'>"),
                            QUrl(portal("/upload")));
    }));
    // A real click: the page may open the chooser only on a user's gesture.
    s.browser().SetSilent(true);
    ASSERT_TRUE(testing::Click(&s.browser(), QStringLiteral("file")));
    EXPECT_EQ(dialogs.count, 0);
    s.browser().SetSilent(false);
    ASSERT_TRUE(testing::Click(&s.browser(), QStringLiteral("file")));
    EXPECT_TRUE(waitFor([&] { return dialogs.count == 1; }, 10s));
}

TEST(ShellE2E, policyConditionsInPdfOpenInTheBuiltInViewer)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Shell s;
    const auto ok = testing::LoadFinishes(
        s.browser().page(), [&] { s.browser().Navigate(portal("/files/conditions.pdf").toStdString()); });
    ASSERT_TRUE(ok);
    EXPECT_TRUE(*ok);
    EXPECT_EQ(QString::fromStdString(s.browser().DocumentUrl()), portal("/files/conditions.pdf"));
    EXPECT_FALSE(s.window->findChild<web::DownloadBar*>()->isVisible()) << "shown, not downloaded";

    // And drawn, whichever renderer the view has: a white page in the viewer's dark frame.
    const auto share = [](const QImage& image, auto test) {
        qsizetype count = 0, all = 0;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4, ++all)
                count += test(image.pixel(x, y));
        return all ? double(count) / double(all) : 0.0;
    };
    QImage shot;
    const bool drawn = waitFor(
        [&] {
            shot = s.browser().grab().toImage();
            return share(shot, [](QRgb c) { return qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245; }) >
                       0.3 &&
                   share(shot, [](QRgb c) { return qRed(c) + qGreen(c) + qBlue(c) < 300; }) > 0.2;
        },
        10s);
    if (!drawn)
        shot.save(QStringLiteral("pdf-viewer.png"));
    EXPECT_TRUE(drawn) << "see pdf-viewer.png";
}

TEST(ShellE2E, aCrashedPageIsReloadedThreeTimesThenExplained)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Shell s;
    s.browser().Navigate(portal("/crash").toStdString());
    ASSERT_TRUE(waitFor(
        [&] {
            return standIn.requestsTo(QStringLiteral("/crash")).size() == 1 &&
                   s.browser().page()->renderProcessPid() > 0;
        },
        15s));
    for (int crash = 1; crash <= 4; ++crash) {
        ASSERT_TRUE(waitFor(
            [&] {
                return s.browser().page()->renderProcessPid() > 0 &&
                       s.browser().title().startsWith(u"Stand-in");
            },
            15s))
            << "crash " << crash;
        ::kill(static_cast<pid_t>(s.browser().page()->renderProcessPid()), SIGKILL);
        if (crash <= 3) {
            EXPECT_TRUE(waitFor(
                [&] { return standIn.requestsTo(QStringLiteral("/crash")).size() == crash + 1; }, 15s))
                << "crash " << crash;
        }
    }
    EXPECT_TRUE(waitFor([&] { return s.browser().title() == u"Pagina gestopt"; }, 15s));
    EXPECT_EQ(standIn.requestsTo(QStringLiteral("/crash")).size(), 4) << "three reloads, then our own page";
}

} // namespace
} // namespace ostrel
