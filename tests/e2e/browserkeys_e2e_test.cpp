// The keys and the menu that any browser offers, end to end in the real window: finding text,
// back and forward, stopping a load, and the page's right-click menu.
#include "livewindow.h"
#include "pagescript.h"
#include "standin.h"

#include "ui/TWebNavigator.h"
#include "ui/aboutwindow.h"
#include "web/downloadbar.h"
#include "web/findbar.h"
#include "web/popupwindow.h"
#include "web/webenginebrowser.h"

#include <QAccessible>
#include <QApplication>
#include <QJsonObject>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using testing::portal;
using testing::StandIn;
using testing::waitFor;

struct Keys : testing::LiveWindow {
    Keys() { start(); }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWindow() ? QApplication::focusWindow() : window->windowHandle(),
                        key, modifiers);
    }
    // Shows html as the page at url and waits until it has loaded.
    bool show(const QString& html, const QString& url)
    {
        return testing::LoadFinishes(browser().page(), [&] { browser().page()->setHtml(html, QUrl(url)); })
            .has_value();
    }
    // A key reaches the page only once the window is active and the page's surface has the focus:
    // before that the window itself gets it (seen under a loaded CI machine). The engine hears of
    // the focus after Qt: a key before that goes nowhere in the page.
    bool focusPage()
    {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            return false;
        browser().setFocus();
        return waitFor([&] { return browser().focusProxy()->hasFocus(); }, 5s) &&
               waitFor([&] { return evaluate(QStringLiteral("document.hasFocus()")).toBool(); }, 5s);
    }
    QVariant evaluate(const QString& script) { return testing::Evaluate(browser().page(), script); }
    // The centre of a page element, in the view's coordinates.
    QPoint centreOf(const char* id)
    {
        return testing::RectOf(browser().page(), QStringLiteral("document.getElementById('%1')").arg(QLatin1String(id)))
            .center();
    }
    QStringList menuAfterRightClick(const char* id)
    {
        QWidget* surface = browser().focusProxy();
        QTest::mouseClick(surface, Qt::RightButton, {}, centreOf(id));
        QMenu* menu = nullptr;
        waitFor([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; },
                5s);
        QStringList texts;
        if (menu)
            for (QAction* action : menu->actions())
                if (!action->isSeparator())
                    texts << action->text();
        return texts;
    }
};

TEST(BrowserKeysE2E, ctrlFFindsCountsStepsThroughMatchesAndEscapeCloses)
{
    Keys k;
    ASSERT_TRUE(
        k.show(QStringLiteral("<p>polis een</p><p>polis twee</p><p>de polis drie</p>"), portal("/find")));
    EXPECT_EQ(k.window->findChild<web::FindBar*>(), nullptr) << "made when first wanted";
    k.key(Qt::Key_F, Qt::ControlModifier);
    auto* bar = k.window->findChild<web::FindBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(k.window->focusWidget(), bar->Text());
    QTest::keyClicks(bar->Text(), QStringLiteral("polis"));
    EXPECT_TRUE(waitFor([&] { return bar->Matches() == u"1 van 3"; }, 5s)) << bar->Matches().toStdString();
    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(bar->Text());
    EXPECT_EQ(field->text(QAccessible::Name), u"Zoeken:") << "a screen reader names the field";
    EXPECT_EQ(field->text(QAccessible::Description), u"1 van 3") << "and reads the count";
    QTest::keyClick(bar->Text(), Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return bar->Matches() == u"2 van 3"; }, 5s)) << bar->Matches().toStdString();
    QTest::keyClick(bar->Text(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_TRUE(waitFor([&] { return bar->Matches() == u"1 van 3"; }, 5s)) << bar->Matches().toStdString();
    QTest::keyClicks(bar->Text(), QStringLiteral("xyz"));
    EXPECT_TRUE(waitFor([&] { return bar->Matches() == u"Niet gevonden"; }, 5s))
        << bar->Matches().toStdString();
    QTest::keyClick(bar->Text(), Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    k.key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(k.window->findChildren<web::FindBar*>().size(), 1);
}

TEST(BrowserKeysE2E, altArrowsAndTheMouseSideButtonsGoBackAndForward)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Keys k;
    // The engine's back skips entries that the page added without the user's doing: a real click.
    ASSERT_TRUE(k.show(QStringLiteral("<p style='font-size:40px'><a id='next' href='/second'>verder</a></p>"),
                       portal("/first")));
    QTest::mouseClick(k.browser().focusProxy(), Qt::LeftButton, {}, k.centreOf("next"));
    ASSERT_TRUE(k.showing(portal("/second")));
    k.key(Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(k.showing(portal("/first"))) << "Alt+Left";
    k.key(Qt::Key_Right, Qt::AltModifier);
    EXPECT_TRUE(k.showing(portal("/second"))) << "Alt+Right";
    QTest::mouseClick(k.browser().focusProxy(), Qt::BackButton, {}, QPoint(50, 50));
    EXPECT_TRUE(k.showing(portal("/first"))) << "the back button";
    QTest::mouseClick(k.browser().focusProxy(), Qt::ForwardButton, {}, QPoint(50, 50));
    EXPECT_TRUE(k.showing(portal("/second"))) << "the forward button";
}

TEST(BrowserKeysE2E, escapeStopsALoadAndIsOtherwiseThePages)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Keys k;
    ASSERT_TRUE(
        k.show(QStringLiteral("<p>Escape</p><script>document.addEventListener('keydown', function (e) {"
                              " if (e.key === 'Escape') document.title = 'escaped'; });</script>"),
               portal("/escape")));
    ASSERT_TRUE(k.focusPage());
    k.key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return k.browser().page()->title() == u"escaped"; }, 5s))
        << "the page has it; loading: " << k.browser().page()->isLoading()
        << ", focus window: " << (QApplication::focusWindow() == k.window->windowHandle());

    k.browser().Navigate(portal("/slow?ms=8000").toStdString());
    ASSERT_TRUE(waitFor([&] { return !standIn.requestsTo(QStringLiteral("/slow")).isEmpty(); }, 5s));
    k.key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !k.browser().page()->isLoading(); }, 3s)) << "the load stops";
    EXPECT_EQ(QString::fromStdString(k.browser().DocumentUrl()), portal("/escape"));
}

TEST(BrowserKeysE2E, theRightClickMenuOffersLinksAndEditingAndNoDeveloperTools)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Keys k;
    ASSERT_TRUE(
        k.show(QStringLiteral("<p style='font-size:40px'><a id='link' href='/popup/target'>polis</a></p>"
                              "<p><input id='field' style='width:300px;height:40px'></p>"
                              "<p style='font-size:40px'><a id='file' href='file:///etc/passwd'>passwd</a>"
                              " <a id='data' href='data:text/html,x'>data</a></p>"),
               portal("/menu")));
    // A link to a local address is only copied: the menu's own loads would pass the engine's block.
    for (const char* local : {"file", "data"}) {
        EXPECT_EQ(k.menuAfterRightClick(local),
                  (QStringList{QStringLiteral("Linkadres kopi\u00EBren"), QStringLiteral("Kopi\u00EBren"),
                               QStringLiteral("Alles selecteren"), QStringLiteral("Over Ostrel Web")}))
            << local;
        if (QWidget* open = QApplication::activePopupWidget())
            open->close();
    }
    const QStringList onLink = k.menuAfterRightClick("link");
    EXPECT_EQ(onLink,
              (QStringList{QStringLiteral("Link openen in nieuw venster"), QStringLiteral("Link opslaan..."),
                           QStringLiteral("Linkadres kopi\u00EBren"), QStringLiteral("Kopi\u00EBren"),
                           QStringLiteral("Alles selecteren"), QStringLiteral("Over Ostrel Web")}));
    QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    menu->actions().first()->trigger();
    menu->close();
    web::PopupWindow* popup = nullptr;
    EXPECT_TRUE(waitFor(
        [&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* found = qobject_cast<web::PopupWindow*>(widget);
                    found && found->url().path() == u"/popup/target")
                    popup = found;
            return popup != nullptr;
        },
        10s))
        << "the link opens in a window of ours";
    if (popup)
        popup->close();

    const QStringList onField = k.menuAfterRightClick("field");
    EXPECT_TRUE(onField.contains(QStringLiteral("Plakken"))) << onField.join(u'|').toStdString();
    EXPECT_TRUE(onField.contains(QStringLiteral("Knippen")));
    for (const QString& text : onField)
        EXPECT_FALSE(text.contains(QStringLiteral("Inspect")) || text.contains(QStringLiteral("source")));
    // Last, after a separator, the program's own entry: it opens "Over Ostrel Web".
    menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> entries = menu->actions();
    ASSERT_GE(entries.size(), 2);
    EXPECT_TRUE(entries[entries.size() - 2]->isSeparator());
    entries.last()->trigger();
    menu->close();
    const auto* about = k.window->findChild<ui::AboutWindow*>();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
}

// The header from the keyboard alone: F6 (Shift+F6) comes in from the page at the first (last)
// destination, Escape and F6 go back, and the page never sees F6; the arrows, Tab, Home and End walk
// the destinations in the order they stand, and Enter takes each of the sixteen.
TEST(BrowserKeysE2E, theKeyboardAloneReachesEveryDestinationThroughTheHeader)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Keys k;
    ASSERT_TRUE(k.show(QStringLiteral("<input id=field><script>var f6 = 0; addEventListener('keydown',"
                                      " e => { if (e.key === 'F6') ++f6; }, true);</script>"),
                       portal("/keys")));
    ASSERT_TRUE(k.focusPage());
    const ui::TWebNavigator& w = *k.window;
    const auto focus = [] { return QApplication::focusWidget(); };
    const auto inPage = [&] { return focus() && k.browser().isAncestorOf(focus()); };
    k.key(Qt::Key_F6);
    EXPECT_EQ(focus(), w.BtnHome);
    k.key(Qt::Key_Escape);
    EXPECT_TRUE(inPage());
    k.key(Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(focus(), w.LblMail);
    k.key(Qt::Key_F6);
    EXPECT_TRUE(inPage());
    EXPECT_EQ(k.evaluate(QStringLiteral("f6")).toInt(), 0) << "F6 is never the page's";

    k.key(Qt::Key_F6);
    const std::pair<Qt::Key, const QWidget*> walk[] = {
        {Qt::Key_End, w.LblMail},  {Qt::Key_Tab, w.BtnHome}, {Qt::Key_Backtab, w.LblMail},
        {Qt::Key_Home, w.BtnHome}, {Qt::Key_Down, w.BtnOWS}, {Qt::Key_Up, w.BtnHome},
    };
    for (const auto& [key, then] : walk) {
        k.key(key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(focus(), then) << QKeySequence(key).toString().toStdString();
    }

    // Whatever a destination does, the stand-in or the desktop hears of it, or a message says so.
    const auto heard = [&] {
        qsizetype count = k.fakes.log.size() + k.fakes.shell->opened.size() + k.fakes.shell->started.size();
        for (const QJsonObject& request : standIn.requests())
            count += request[u"target"].toString() != u"/favicon.ico";
        return count;
    };
    const QWidget* destinations[] = {
        w.BtnHome,      w.BtnOWS,   w.BtnFormulieren, w.BtnBestanden,         w.BtnOstrelWeb,
        w.BtnDownloads, w.btnPIM,   w.BtnHelpdesk,    w.btnTeamviewer,        w.btnPolisvoorwaarden,
        w.btnPortaal,   w.JvImage1, w.btnCalculator,  w.JvTransparentButton1, w.LblUrl,
        w.LblMail,
    };
    for (const QWidget* destination : destinations) {
        ASSERT_EQ(focus(), destination) << destination->objectName().toStdString();
        const qsizetype before = heard();
        k.key(Qt::Key_Return);
        EXPECT_TRUE(waitFor([&] { return heard() > before; }, 10s))
            << destination->objectName().toStdString();
        k.key(Qt::Key_Right);
    }
    EXPECT_EQ(focus(), w.BtnHome) << "round again";

    // With the downloads showing, F6 goes round the page, the header and the bar. The download starts
    // on a page that has landed, after Refresh's emptying of the cache (a download, like a load, made
    // while the cache is emptied never starts).
    ASSERT_TRUE(k.open(portal("/keys")));
    k.browser().page()->download(QUrl(portal("/files/page.html")));
    const auto* downloads = w.findChild<web::DownloadBar*>();
    ASSERT_TRUE(waitFor([&] { return downloads->isVisible(); }, 10s));
    ASSERT_TRUE(k.focusPage());
    const auto inDownloads = [&] { return focus() && downloads->isAncestorOf(focus()); };
    k.key(Qt::Key_F6);
    EXPECT_EQ(focus(), w.BtnHome);
    k.key(Qt::Key_F6);
    EXPECT_TRUE(inDownloads());
    k.key(Qt::Key_F6);
    EXPECT_TRUE(inPage());
    k.key(Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(inDownloads());
    k.key(Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(focus(), w.LblMail);
}

} // namespace
} // namespace ostrel
