// A page that attacks: what it can make the program do outside itself, end to end against the
// stand-in's hostile pages, in the real window with a recording shell. Nothing leaves the page
// without the user's click: no file opened, no program started, no window over the screen, no
// dialog that will not go, no header that stops answering, no download that fails without a word.
#include "downloadpattern.h"
#include "livewindow.h"
#include "modalwatcher.h"
#include "pagescript.h"
#include "standin.h"

#include "ui/TWebNavigator.h"
#include "web/blockedwindowbar.h"
#include "web/downloadbar.h"
#include "web/downloadrow.h"
#include "web/pagedialog.h"
#include "web/popupwindow.h"
#include "web/webenginebrowser.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineProfile>

#include <gtest/gtest.h>

#include <iostream>
#include <unistd.h>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using testing::portal;
using testing::StandIn;
using testing::waitFor;
using standin::downloads::kBrokenBin;
using standin::downloads::PatternBytes;

// A site that is none of the insurer's.
const QString kElsewhere = QStringLiteral("http://127.0.0.1:47290");

QString query(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

template <class Widget = QPushButton> Widget* withText(const QWidget* in, const QString& text)
{
    for (Widget* widget : in->findChildren<Widget*>())
        if (widget->text() == text && widget->isVisibleTo(in))
            return widget;
    return nullptr;
}

struct Hostile : testing::LiveWindow {
    StandIn standIn{{QStringLiteral("elsewhere=") + kElsewhere}};
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);

    Hostile()
    {
        QDir(folder).removeRecursively();
        start();
        window->resize(1200, 800);
    }
    ~Hostile() { web::PopupWindow::CloseAll(); }

    web::DownloadBar* bar() const { return window->findChild<web::DownloadBar*>(); }
    QList<web::DownloadRow*> rows() const { return bar()->Rows(); }
    bool allIn(int count) const
    {
        int over = 0;
        for (const web::DownloadRow* row : rows())
            over += row->Outcome() != web::DownloadRow::State::Running;
        return over >= count && bar()->Running() == 0;
    }
    QStringList saved() const { return QDir(folder).entryList(QDir::Files); }
    // The dialog a page shows over a view, if one is open.
    static web::PageDialog* dialogOver(const QWidget* view)
    {
        for (web::PageDialog* dialog : web::ViewOverlay::Over<web::PageDialog>(view))
            if (dialog->isVisible())
                return dialog;
        return nullptr;
    }
    web::PageDialog* dialog() const { return dialogOver(window->WebBrowser); }
    static QString textOf(const QWidget* widget)
    {
        QStringList texts;
        for (const QLabel* label : widget->findChildren<QLabel*>())
            texts << label->text();
        return texts.join(u'\n');
    }
    bool click(const QString& id) { return testing::Click(window->WebBrowser, id); }
};

// The recording shell's opened files, as paths.
QStringList openedFiles(const testing::FakeShell& shell)
{
    QStringList files;
    for (const std::string& url : shell.opened)
        files << QUrl(QString::fromStdString(url)).toLocalFile();
    return files;
}

// A launch file opens by itself only after the user's click, when the insurer's page asked for it
// and the insurer's host served it; whatever else comes waits in the bar for "Openen".
TEST(HostileE2E, aLaunchFileOpensAfterTheUsersClickWhenTheInsurerAskedAndServedIt)
{
    Hostile h;
    ASSERT_TRUE(h.standIn.started());
    const QString gateway = testing::originOf(QStringLiteral("gateway1"));
    const auto link = [](const QString& origin, const QString& to) {
        return origin + QStringLiteral("/hostile/link?to=") + query(to);
    };
    // Hidden frames of the portal's page, as it loads: by name only, by type only, real ones; the
    // eighth, the page's last, once it has loaded.
    ASSERT_TRUE(h.open(portal("/hostile/downloads")));
    ASSERT_TRUE(waitFor([&] { return h.allIn(8); }, 30s)) << h.saved().join(u' ').toStdString();
    EXPECT_TRUE(h.fakes.shell->opened.empty()) << "no click, nothing opened";
    // The same after the user's click on a link to that page: one of them, the first in.
    ASSERT_TRUE(h.open(link(portal(""), QStringLiteral("/hostile/downloads"))));
    ASSERT_TRUE(h.click(QStringLiteral("link")));
    ASSERT_TRUE(waitFor([&] { return h.allIn(16); }, 30s));
    ASSERT_EQ(h.fakes.shell->opened.size(), 1u);
    EXPECT_TRUE(QStringList({QStringLiteral("launch (1).ica"), QStringLiteral("wfclient (1).ica"),
                             QStringLiteral("noext (1).ica")})
                    .contains(QFileInfo(openedFiles(*h.fakes.shell)[0]).fileName()))
        << openedFiles(*h.fakes.shell)[0].toStdString();

    struct Case {
        QString page, to, opens; // the link's page and target; the file opened, or none
    };
    const Case cases[] = {
        {gateway, QStringLiteral("/files/bom.ica"), QStringLiteral("bom.ica")},
        {gateway, QStringLiteral("/files/launcher.aspx"), QStringLiteral("launcher.ica")},
        {portal(""), kElsewhere + QStringLiteral("/files/launch.ica"), {}},
        {portal(""), portal("/redirect?to=") + query(kElsewhere + QStringLiteral("/files/launch.ica")), {}},
        {gateway,
         QStringLiteral("data:application/x-ica;base64,W0FwcGxpY2F0aW9uU2VydmVyc10KT3N0cmVsPQo="),
         {}},
        {kElsewhere, QStringLiteral("/files/launch.ica"), {}},
    };
    for (const Case& c : cases) {
        h.fakes.shell->opened.clear();
        const qsizetype before = h.rows().size();
        ASSERT_TRUE(h.open(link(c.page, c.to)));
        ASSERT_TRUE(h.click(QStringLiteral("link"))) << c.to.toStdString();
        ASSERT_TRUE(waitFor([&] { return h.rows().size() > before && h.allIn(int(before) + 1); }, 20s))
            << c.to.toStdString();
        const QString opened = h.fakes.shell->opened.empty() ? QString() : openedFiles(*h.fakes.shell)[0];
        EXPECT_EQ(QFileInfo(opened).fileName(), c.opens) << c.to.toStdString();
        if (c.opens.isEmpty()) {
            EXPECT_NE(withText(h.rows().last(), QStringLiteral("Openen")), nullptr) << "the user may open it";
        }
    }
}

TEST(HostileE2E, aLinkGoesToAnotherProgramOnlyWhenTheUserClickedItAndSaidYes)
{
    Hostile h;
    ASSERT_TRUE(h.standIn.started());
    h.fakes.shell->programs = {
        {"ostrel-test", "Testprogramma"}, {"mailto", "Mail"}, {"ms-excel", "Excel"}, {"smb", "Bestanden"}};
    // Scripts on their own, with no click: nothing, and no question either.
    for (const QString& to : {QStringLiteral("mailto:x@example.nl"), QStringLiteral("ostrel-test:script"),
                              QStringLiteral("ms-msdt:-id PCWDiagnostic"),
                              QStringLiteral("search-ms:query=x"), QStringLiteral("tel:0123456789")})
        ASSERT_TRUE(h.open(portal("/hostile/navigate?to=") + query(to)));
    ASSERT_TRUE(h.open(kElsewhere + QStringLiteral("/hostile/navigate?n=50&every=20&to=") +
                       query(QStringLiteral("ftp://ftp.example.nl/x"))));
    ASSERT_TRUE(h.titled(u" (done)")) << "the page's last navigation";
    ASSERT_TRUE(testing::PageCaughtUp(h.browser().page()));
    EXPECT_TRUE(h.fakes.shell->opened.empty()) << h.fakes.shell->opened.front();
    EXPECT_EQ(h.dialog(), nullptr);

    // Real clicks that start a script, a timer or a redirect, or that land in a frame: nothing.
    h.fakes.shell->opened.clear();
    ASSERT_TRUE(h.open(portal("/hostile/links")));
    for (const QString& id :
         {QStringLiteral("scripted"), QStringLiteral("timer"), QStringLiteral("redirect")})
        ASSERT_TRUE(h.click(id)) << id.toStdString();
    const QRect frame =
        testing::RectOf(h.browser().page(), QStringLiteral("document.getElementById('frame')"));
    QTest::mouseClick(h.browser().focusProxy(), Qt::LeftButton, {}, frame.topLeft() + QPoint(100, 20));
    ASSERT_TRUE(h.titled(u" (timer)")) << "the timer's navigation";
    ASSERT_TRUE(waitFor([&] { return !h.standIn.requestsTo(QStringLiteral("/redirect")).isEmpty(); }, 5s));
    ASSERT_TRUE(testing::PageCaughtUp(h.browser().page()));
    EXPECT_TRUE(h.fakes.shell->opened.empty()) << h.fakes.shell->opened.front();
    EXPECT_EQ(h.dialog(), nullptr);

    // The user's click on a link: first the question, naming the program; "Openen" opens it.
    ASSERT_TRUE(h.click(QStringLiteral("custom")));
    ASSERT_TRUE(waitFor([&] { return h.dialog() != nullptr; }, 5s));
    EXPECT_TRUE(Hostile::textOf(h.dialog()).contains(u"Deze link openen met Testprogramma?"))
        << Hostile::textOf(h.dialog()).toStdString();
    EXPECT_TRUE(h.fakes.shell->opened.empty()) << "not before the answer";
    withText(h.dialog(), QStringLiteral("Openen"))->click();
    EXPECT_EQ(h.fakes.shell->opened, std::vector<std::string>{"ostrel-test:hello"});

    // Schemes that run code, search the disk, open an Office document from an address or a
    // network share: never, whatever the click, even where the desktop has a program for them.
    for (const QString& id : {QStringLiteral("msdt"), QStringLiteral("excel"), QStringLiteral("share")}) {
        ASSERT_TRUE(waitFor([&] { return h.dialog() == nullptr; }, 5s));
        ASSERT_TRUE(h.click(id)) << id.toStdString();
        ASSERT_TRUE(waitFor([&] { return h.dialog() != nullptr; }, 5s)) << id.toStdString();
        EXPECT_EQ(withText(h.dialog(), QStringLiteral("Openen")), nullptr) << id.toStdString();
        withText(h.dialog(), QStringLiteral("OK"))->click();
    }
    EXPECT_EQ(h.fakes.shell->opened.size(), 1u);

    // An address that a direction override turns round is shown as it goes out.
    ASSERT_TRUE(waitFor([&] { return h.dialog() == nullptr; }, 5s));
    ASSERT_TRUE(h.click(QStringLiteral("rtl")));
    ASSERT_TRUE(waitFor([&] { return h.dialog() != nullptr; }, 5s));
    EXPECT_TRUE(Hostile::textOf(h.dialog()).contains(u"mailto:[U+202E]fdp.exe@x"))
        << Hostile::textOf(h.dialog()).toStdString();
    withText(h.dialog(), QStringLiteral("Annuleren"))->click();

    // A choice remembered for the session: asked once, then opened at once.
    ASSERT_TRUE(waitFor([&] { return h.dialog() == nullptr; }, 5s));
    ASSERT_TRUE(h.click(QStringLiteral("mailto")));
    ASSERT_TRUE(waitFor([&] { return h.dialog() != nullptr; }, 5s));
    withText<QCheckBox>(h.dialog(),
                        QStringLiteral("Deze keuze onthouden voor \"mailto:\"-links tot Ostrel Web sluit"))
        ->setChecked(true);
    withText(h.dialog(), QStringLiteral("Openen"))->click();
    ASSERT_TRUE(waitFor([&] { return h.dialog() == nullptr; }, 5s));
    ASSERT_TRUE(h.click(QStringLiteral("mailto")));
    EXPECT_TRUE(waitFor([&] { return h.fakes.shell->opened.size() == 3; }, 5s));
    EXPECT_EQ(h.dialog(), nullptr);

    // From the keyboard: Enter on the link asks; Escape says no.
    ASSERT_TRUE(testing::Evaluate(h.browser().page(),
                                  QStringLiteral("document.getElementById('custom').focus(), "
                                                 "document.activeElement.id == 'custom'"))
                    .toBool());
    QTest::keyClick(h.browser().focusProxy(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return h.dialog() != nullptr; }, 5s));
    EXPECT_TRUE(Hostile::textOf(h.dialog()).contains(u"Testprogramma"));
    QTest::keyClick(h.dialog()->focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return h.dialog() == nullptr; }, 5s));
    EXPECT_EQ(h.fakes.shell->opened.size(), 3u);
}

TEST(HostileE2E, aPagesDialogsSitOverThePageCanBeTurnedOffAndGoWhenTheHeaderActsOrLeaves)
{
    Hostile h;
    ASSERT_TRUE(h.standIn.started());
    testing::PageDialogWatcher user(h.window->WebBrowser);
    QStringList texts;
    QList<bool> offerOff;
    QElapsedTimer clicked;
    // The first dialog is answered with Enter; while the second is open, the user clicks Formulieren.
    user.answer = [&](web::PageDialog* dialog) {
        texts << Hostile::textOf(dialog);
        offerOff << (withText<QCheckBox>(dialog, QStringLiteral("Geen meldingen meer van deze pagina")) !=
                     nullptr);
        if (texts.size() == 1) {
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        } else if (texts.size() == 2) {
            clicked.start();
            QTest::mouseClick(h.window->BtnFormulieren, Qt::LeftButton);
        }
    };
    h.browser().Navigate(portal("/hostile/alerts").toStdString());
    ASSERT_TRUE(waitFor(
        [&] { return !h.standIn.requestsTo(QStringLiteral("/download/download.asp")).isEmpty(); }, 20s))
        << texts.join(u" | ").toStdString();
    std::cout << "Formulieren from a page in an alert loop reached the server after " << clicked.elapsed()
              << " ms\n";
    ASSERT_GE(texts.size(), 2);
    EXPECT_TRUE(texts[0].contains(u"Melding 1")) << texts[0].toStdString();
    EXPECT_TRUE(texts[1].contains(u"Melding 2")) << texts[1].toStdString();
    EXPECT_EQ(offerOff.mid(0, 2), (QList<bool>{false, true}))
        << "from the second dialog on, the user may turn them off";
    EXPECT_TRUE(
        h.showing(testing::originOf(QStringLiteral("website")) + QStringLiteral("/download/download.asp")));
    EXPECT_EQ(h.dialog(), nullptr);

    // Turned off from the third dialog on (the box left as it was on the second): the page's later
    // dialogs are answered at once, until another page has loaded.
    user.seen.clear();
    texts.clear();
    user.answer = [&](web::PageDialog* dialog) {
        texts << Hostile::textOf(dialog);
        if (auto* off = withText<QCheckBox>(dialog, QStringLiteral("Geen meldingen meer van deze pagina")))
            off->setChecked(texts.size() >= 3);
        withText(dialog, QStringLiteral("OK"))->click();
    };
    h.browser().Navigate(portal("/hostile/alerts?again").toStdString());
    ASSERT_TRUE(waitFor([&] { return texts.size() >= 3; }, 10s)) << texts.join(u" | ").toStdString();
    ASSERT_TRUE(h.standIn.pageReached(QStringLiteral("alerts=20")));
    EXPECT_EQ(texts.size(), 3) << texts.join(u" | ").toStdString();
    h.browser().Navigate(portal("/alert").toStdString()); // another page asks again
    EXPECT_TRUE(waitFor([&] { return texts.size() == 4; }, 15s)) << texts.join(u" | ").toStdString();
    EXPECT_TRUE(texts.last().contains(u"stand-in alert"));

    // A navigation of ours that brings no new document (an empty answer, a download, a load the
    // user stops) leaves the page as it was, and it asks again.
    for (const char* to : {"/status/204", "/files/big.bin?kb=1", "/slow?ms=20000"}) {
        ASSERT_TRUE(h.open(portal("/stays")));
        h.browser().Navigate(portal(to).toStdString());
        ASSERT_TRUE(waitFor([&] { return !h.standIn.requestsTo(QUrl(portal(to)).path()).isEmpty(); }, 10s));
        if (h.browser().page()->isLoading())
            QTest::keyClick(h.browser().focusProxy(), Qt::Key_Escape);
        ASSERT_TRUE(waitFor([&] { return !h.browser().page()->isLoading(); }, 10s)) << to;
        const qsizetype asked = texts.size();
        h.browser().page()->runJavaScript(QStringLiteral("setTimeout(function () { confirm('Nog hier?'); }, 0)"));
        EXPECT_TRUE(waitFor([&] { return texts.size() > asked; }, 5s)) << to;
    }
}

// A page that asks for a login, or prints, again 50 ms after each answer from one click on: each
// is a question over the page, with the header acting and ending it; a login can be turned off
// from the second on, a print needs a click of the user's each time (none from the load on).
TEST(HostileE2E, aLoginOrPrintLoopIsAQuestionOverThePageThatTheHeaderEnds)
{
    Hostile h;
    ASSERT_TRUE(h.standIn.started());
    const auto told = [&] { return h.standIn.requestsTo(QStringLiteral("/hostile/reached")).size(); };
    const auto askedAgain = [&] { // the page tells every tenth time it asked
        const qsizetype before = told();
        return waitFor([&] { return told() >= before + 2; }, 10s);
    };
    const auto forms = [&] { return h.standIn.requestsTo(QStringLiteral("/download/download.asp")).size(); };
    for (const bool print : {false, true}) {
        SCOPED_TRACE(print ? "print" : "login");
        ASSERT_TRUE(h.open(portal(print ? "/hostile/loop?ask=print" : "/hostile/loop?ask=login")));
        if (print) {
            ASSERT_TRUE(askedAgain());
            EXPECT_EQ(h.dialog(), nullptr) << "a print without a click";
        }
        // The user: Escape at the first question; at the second (the login again, or the print
        // after the next click) a click on Formulieren.
        QList<bool> offerOff;
        QString firstText;
        bool modal = false;
        const qsizetype formsBefore = forms();
        testing::PageDialogWatcher user(h.window->WebBrowser, [&](web::PageDialog* dialog) {
            offerOff << (withText<QCheckBox>(dialog, QStringLiteral("Geen vragen meer van deze pagina")) != nullptr);
            if (firstText.isEmpty())
                firstText = Hostile::textOf(dialog);
            modal = modal || QApplication::activeModalWidget();
            if (offerOff.size() == 1)
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
            else if (offerOff.size() == 2)
                QTest::mouseClick(h.window->BtnFormulieren, Qt::LeftButton);
        });
        ASSERT_TRUE(h.click(QStringLiteral("go")));
        if (print) {
            ASSERT_TRUE(waitFor([&] { return offerOff.size() == 1 && h.dialog() == nullptr; }, 10s));
            ASSERT_TRUE(askedAgain());
            EXPECT_EQ(offerOff.size(), 1) << "a second print for one click";
            ASSERT_TRUE(h.click(QStringLiteral("go")));
        }
        EXPECT_TRUE(waitFor([&] { return forms() > formsBefore; }, 20s)) << "the header's Formulieren";
        EXPECT_EQ(h.dialog(), nullptr);
        EXPECT_EQ(offerOff, (QList<bool>{false, !print})) << "a second login may be turned off";
        EXPECT_FALSE(modal);
        if (!print) { // the realm, sent in UTF-8, as the site wrote it
            EXPECT_TRUE(firstText.contains(QString::fromUtf8("\u201CZo\u00EB\u2019s portaal\u201D"))) << firstText.toStdString();
        }
    }
}

// A page cannot put a service worker between the origin's pages and their server, and what it put
// in the Cache API goes with Refresh's clear.
TEST(HostileE2E, aPageRegistersNoServiceWorkerAndItsCacheStorageGoesWithRefresh)
{
    Hostile h;
    ASSERT_TRUE(h.standIn.started());
    ASSERT_TRUE(h.open(portal("/hostile/worker")));
    EXPECT_TRUE(h.standIn.pageReached(QStringLiteral("worker=refused")));
    ASSERT_TRUE(h.open(portal("/stays")));
    EXPECT_NE(h.browser().title(), u"Taken over");

    ASSERT_TRUE(h.open(portal("/hostile/storage?mb=4")));
    ASSERT_TRUE(h.standIn.pageReached(QStringLiteral("stored=4")));
    h.browser().ClearCache();
    ASSERT_TRUE(h.open(portal("/hostile/storage?mb=0")));
    QStringList told;
    ASSERT_TRUE(waitFor([&] {
        told.clear();
        for (const QJsonObject& r : h.standIn.requestsTo(QStringLiteral("/hostile/reached")))
            if (const QString stage = r[u"query"].toString(); stage.contains(u"caches="))
                told.append(stage);
        return told.size() == 2;
    }, 20s));
    EXPECT_TRUE(told[1].endsWith(u"caches=0")) << told[1].toStdString();
}

// A page whose script never ends is left on a header click or key, in a renderer of its own; one
// that is only busy a while keeps its renderer, and the page of F5 replaces it as ever.
TEST(HostileE2E, aHungPageIsLeftOnAHeaderClickOrKeyAndABusyOneIsWaitedFor)
{
    Hostile h;
    ASSERT_TRUE(h.standIn.started());
    ASSERT_TRUE(h.open(portal("/")));
    const auto looping = [&] { return h.titled(u"(looping)"); };
    ASSERT_TRUE(h.open(portal("/hostile/hang?after=0&busy=2500")) && looping());
    const qint64 renderer = h.browser().page()->renderProcessPid();
    const int entries = h.browser().history()->count();
    QTest::keyClick(h.window->windowHandle(), Qt::Key_F5);
    EXPECT_TRUE(h.showing(portal("/?version=6.9")));
    EXPECT_EQ(h.browser().page()->renderProcessPid(), renderer) << "the busy page's renderer was ended";
    EXPECT_EQ(h.browser().history()->count(), entries) << "F5's page replaced the busy one";

    const auto hungPage = [&](const char* query) {
        const QString address = portal("/hostile/hang") + QLatin1String(query);
        h.browser().Navigate(address.toStdString());
        return h.showing(address) && looping();
    };
    ASSERT_TRUE(hungPage("?after=0"));
    QTest::mouseClick(h.window->BtnFormulieren, Qt::LeftButton);
    EXPECT_TRUE(
        h.showing(testing::originOf(QStringLiteral("website")) + QStringLiteral("/download/download.asp")));
    // F4, and Home's POST, the same way.
    ASSERT_TRUE(hungPage("?after=0&f4"));
    QTest::keyClick(h.window->windowHandle(), Qt::Key_F4);
    EXPECT_TRUE(h.showing(portal("/index.php?mod=content&page=ftpssl")));
    ASSERT_TRUE(hungPage("?after=0&home"));
    QTest::mouseClick(h.window->BtnHome, Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return h.showing(portal("/")); }, 15s));
    EXPECT_EQ(h.standIn.requestsTo(QStringLiteral("/hostile/hang")).size(), 4)
        << "the hung page is never reloaded";
}

TEST(HostileE2E, aPageOpensAtMostThreeWindowsByItselfAndEachStaysOnTheScreen)
{
    Hostile h;
    ASSERT_TRUE(h.standIn.started());
    const auto popups = [] {
        QList<web::PopupWindow*> open;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* popup = qobject_cast<web::PopupWindow*>(widget); popup && popup->isVisible())
                open << popup;
        return open;
    };
    ASSERT_TRUE(h.open(portal("/hostile/popups?n=100")));
    // The page's hundredth window is the last it asks for: every one has been answered then.
    const auto blocked = [&] {
        return web::ViewOverlay::Over<web::BlockedWindowBar>(h.window->WebBrowser).value(0);
    };
    ASSERT_TRUE(waitFor([&] { return blocked() && Hostile::textOf(blocked()).contains(u"?i=100 "); }, 20s));
    EXPECT_EQ(popups().size(), web::WebPage::kWindowsWithoutClick);
    EXPECT_TRUE(Hostile::textOf(blocked()).startsWith(u"Pop-upvenster geblokkeerd: http"))
        << Hostile::textOf(blocked()).toStdString();
    withText(blocked(), QStringLiteral("Toch openen"))->click();
    EXPECT_TRUE(waitFor([&] { return popups().size() == web::WebPage::kWindowsWithoutClick + 1; }, 10s));
    web::PopupWindow::CloseAll();

    // A window the size of five screens at the corner, that then moves itself off the screen, calls
    // itself the program, and asks for the focus and the top left corner ten times a second (the
    // focus is no test here: without a window manager no window comes to the front by itself).
    ASSERT_TRUE(h.open(portal("/hostile/bigpopup")));
    ASSERT_TRUE(waitFor([&] { return popups().size() == 1; }, 10s));
    web::PopupWindow* cover = popups().front();
    ASSERT_TRUE(h.standIn.pageReached(QStringLiteral("covered=20")));
    QRect area = cover->screen()->availableGeometry();
    area.setTop(h.window->WebBrowser->mapToGlobal(QPoint(0, 0)).y()); // below the header
    EXPECT_TRUE(area.contains(cover->frameGeometry()))
        << cover->frameGeometry().x() << "," << cover->frameGeometry().y() << " "
        << cover->frameGeometry().width() << "x" << cover->frameGeometry().height();
    EXPECT_EQ(cover->windowTitle(), QStringLiteral("127.0.0.1: Ostrel Web 6.9"));
}

TEST(HostileE2E, everyDownloadEndsInItsRowWithANameThatIsSafeAndAReasonInDutch)
{
    Hostile h;
    ASSERT_TRUE(h.standIn.started());
    // Names with line breaks, control characters, folders, and more bytes than a file system takes.
    ASSERT_TRUE(h.open(portal("/hostile/names")));
    const QStringList links{QStringLiteral("cd-newline"), QStringLiteral("cd-control"),
                            QStringLiteral("cd-long"),    QStringLiteral("cd-long-utf8"),
                            QStringLiteral("cd-slashes"), QStringLiteral("dl-newline"),
                            QStringLiteral("dl-long")};
    for (const QString& id : links) { // one at a time: a navigation cancels the one before it
        const qsizetype before = h.rows().size();
        ASSERT_TRUE(h.click(id)) << id.toStdString();
        ASSERT_TRUE(waitFor([&] { return h.rows().size() > before; }, 10s)) << id.toStdString();
    }
    ASSERT_TRUE(waitFor([&] { return h.allIn(static_cast<int>(links.size())); }, 30s))
        << h.rows().size() << " rows; saved: " << h.saved().join(u" | ").toStdString();
    for (const web::DownloadRow* row : h.rows())
        EXPECT_EQ(row->Outcome(), web::DownloadRow::State::Completed) << row->Path().toStdString();
    for (const QString& name : h.saved()) {
        EXPECT_LE(name.toUtf8().size(), web::DownloadBar::kMaxNameBytes) << name.toStdString();
        for (const QChar c : name)
            EXPECT_FALSE(c.category() == QChar::Other_Control) << name.toStdString();
    }
    EXPECT_TRUE(h.saved().contains(QStringLiteral("line1_line2.txt"))) << h.saved().join(u' ').toStdString();
    EXPECT_TRUE(h.saved().contains(QStringLiteral("evil.txt")));

    // A connection that breaks off: the reason, then "Opnieuw" brings the whole file.
    for (web::DownloadRow* row : h.rows())
        row->Dismiss();
    h.browser().page()->download(QUrl(portal(kBrokenBin.path)));
    ASSERT_TRUE(waitFor(
        [&] { return h.rows().size() == 1 && h.rows()[0]->Outcome() == web::DownloadRow::State::Failed; },
        20s));
    EXPECT_TRUE(Hostile::textOf(h.rows()[0]).contains(u"Mislukt: de verbinding is verbroken"))
        << Hostile::textOf(h.rows()[0]).toStdString();
    withText(h.rows()[0], QStringLiteral("Opnieuw"))->click();
    ASSERT_TRUE(waitFor([&] { return h.rows()[0]->Outcome() == web::DownloadRow::State::Completed; }, 20s))
        << h.rows()[0]->Download()->state() << " " << h.rows()[0]->Download()->interruptReason() << " "
        << h.rows()[0]->Download()->receivedBytes() << " " << Hostile::textOf(h.rows()[0]).toStdString()
        << " "
        << QJsonDocument(h.standIn.requestsTo(QLatin1String(kBrokenBin.path)).last())
               .toJson()
               .toStdString();
    QFile broken(h.rows()[0]->Path());
    ASSERT_TRUE(broken.open(QIODevice::ReadOnly));
    EXPECT_EQ(broken.readAll(), PatternBytes<QByteArray>(kBrokenBin.size));

    // A running download can be cancelled: its partial file goes.
    h.browser().page()->download(QUrl(portal("/files/slow.bin?ms=20000")));
    ASSERT_TRUE(
        waitFor([&] { return h.rows().size() == 2 && h.rows()[1]->Download()->receivedBytes() > 0; }, 20s));
    withText(h.rows()[1], QStringLiteral("Annuleren"))->click();
    ASSERT_TRUE(waitFor([&] { return h.rows()[1]->Outcome() == web::DownloadRow::State::Cancelled; }, 10s));
    EXPECT_TRUE(Hostile::textOf(h.rows()[1]).contains(u"Geannuleerd"));
    EXPECT_TRUE(waitFor(
        [&] { return QDir(h.folder).entryList({QStringLiteral("slow*")}, QDir::Files).isEmpty(); }, 5s))
        << QDir(h.folder).entryList(QDir::Files).join(u' ').toStdString();

    // Closing the program while one comes in asks first; "Wachten" keeps it.
    h.browser().page()->download(QUrl(portal("/files/slow.bin?ms=20000")));
    ASSERT_TRUE(waitFor([&] { return h.bar()->Running() == 1; }, 20s));
    QString answer = QStringLiteral("Wachten"), asked;
    QGuiApplication::setQuitOnLastWindowClosed(false); // the other tests of this process go on
    testing::ModalWatcher<QMessageBox> question([&](QMessageBox* box) {
        asked = box->text();
        withText(box, answer)->click();
    });
    h.window->close();
    EXPECT_TRUE(asked.contains(u"gedownload")) << asked.toStdString();
    EXPECT_TRUE(h.window->isVisible());
    EXPECT_EQ(h.bar()->Running(), 1);
    answer = QStringLiteral("Afsluiten");
    h.window->close();
    EXPECT_FALSE(h.window->isVisible());
    EXPECT_TRUE(waitFor(
        [&] { return QDir(h.folder).entryList({QStringLiteral("slow*")}, QDir::Files).isEmpty(); }, 5s));
    question.stop();
    QGuiApplication::setQuitOnLastWindowClosed(true);
    h.window->show();

    // Many downloads fold into one line, which clears them all.
    for (web::DownloadRow* row : h.rows())
        row->Dismiss();
    for (int i = 0; i < 60; ++i)
        h.browser().page()->download(QUrl(portal("/files/big.bin?kb=1")));
    ASSERT_TRUE(waitFor([&] { return h.rows().size() == 60 && h.allIn(60); }, 30s));
    EXPECT_TRUE(waitFor([&] { return h.bar()->height() < 120; }, 5s)) << "one line, not sixty";
    ASSERT_NE(withText(h.bar(), QStringLiteral("Alles wissen")), nullptr);
    withText(h.bar(), QStringLiteral("Alles wissen"))->click();
    EXPECT_TRUE(waitFor([&] { return !h.bar()->isVisible(); }, 5s));
}

// A full disk, on a small file system of its own where the download folder is (root only).
// A download the user did not ask for waits in the bar with its name, size and site until they say
// "Opslaan" (then it comes in as any other) or "Annuleren": one that a frame of another site
// brings, and one of over 100 MB.
TEST(HostileE2E, aDownloadTheUserDidNotAskForWaitsForOpslaan)
{
    Hostile h;
    ASSERT_TRUE(h.standIn.started());
    const struct {
        QString page, asked, button;
        bool partFirst; // held once its size shows: part of it has come
    } cases[] = {
        {portal("/hostile/frames?src=") + query(kElsewhere + QStringLiteral("/files/page.html")),
         QStringLiteral("page.html ("), QStringLiteral("Opslaan"), false},
        {portal("/files/big.bin?kb=102500&ms=20000"), QStringLiteral("big.bin (100,10 MiB)"),
         QStringLiteral("Annuleren"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page.toStdString());
        h.browser().Navigate(c.page.toStdString());
        ASSERT_TRUE(waitFor(
            [&] {
                const QStringList lines = Hostile::textOf(h.bar()).split(u'\n');
                // The question's text may be on the bar before its buttons are.
                return withText(h.bar(), c.button) && std::ranges::any_of(lines, [&](const QString& line) {
                           return line.startsWith(c.asked) && line.endsWith(u" van 127.0.0.1 opslaan?");
                       });
            },
            15s))
            << Hostile::textOf(h.bar()).toStdString();
        EXPECT_TRUE(c.partFirst || h.saved().isEmpty()) << "before the user's yes";
        withText(h.bar(), c.button)->click();
        EXPECT_TRUE(waitFor([&] { return h.saved() == QStringList{QStringLiteral("page.ica")}; }, 15s))
            << "what was said yes to, and no more: " << h.saved().join(u' ').toStdString();
    }
    EXPECT_EQ(withText(h.bar(), QStringLiteral("Opslaan")), nullptr);
}

TEST(HostileE2E, aDownloadToAFullDiskSaysSo)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    Hostile h;
    ASSERT_TRUE(h.standIn.started());
    QDir().mkpath(h.folder);
    ASSERT_EQ(QProcess::execute(QStringLiteral("mount"),
                                {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                 QStringLiteral("size=256k"), QStringLiteral("tmpfs"), h.folder}),
              0);
    h.browser().page()->download(QUrl(portal("/files/big.bin?kb=2048")));
    const bool failed = waitFor(
        [&] { return h.rows().size() == 1 && h.rows()[0]->Outcome() == web::DownloadRow::State::Failed; },
        20s);
    const QString shown = h.rows().isEmpty() ? QString() : Hostile::textOf(h.rows()[0]);
    for (web::DownloadRow* row : h.rows())
        row->Dismiss();
    // Until the engine has let go of the partial file.
    waitFor([&] { return QProcess::execute(QStringLiteral("umount"), {h.folder}) == 0; }, 10s);
    ASSERT_TRUE(failed);
    EXPECT_TRUE(shown.contains(u"Mislukt: de schijf is vol")) << shown.toStdString();
}

} // namespace
} // namespace ostrel
