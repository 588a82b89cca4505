// The window's keys on a plain widget: what each sequence of deliveries runs, where the focus goes,
// and what is kept from its target. Keys built here are not spontaneous, as the accessibility
// bridge's copies and the engine's hand-backs are not.
#include "ui/windowkeys.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ostrel::ui {
namespace {

enum class To { Window, Page, Header, Bar, OtherWindow };

struct Delivery {
    To to;
    QEvent::Type type;
    int key = 0;
    Qt::KeyboardModifiers modifiers = {};
    bool autoRepeat = false;
};

struct Case {
    const char* what;
    std::vector<Delivery> deliveries;
    std::vector<Control> runs;
    std::vector<std::string> asked; // of the browser
    bool lastHandled;
    std::optional<To> focus = std::nullopt;
    bool compact = false;
    bool barShown = true;
};

struct Window {
    QWidget window, otherWindow;
    QWidget* browser = new QWidget(&window);
    QWidget* page = new QWidget(browser); // the engine's widget inside the view, its focus proxy
    QPushButton* header = new QPushButton(&window);
    QWidget* bar = new QWidget(&window);
    QPushButton* barButton = new QPushButton(bar);
    std::vector<Control> runs;
    std::vector<std::string> asked;
    bool compact = false;
    // clang-format off
    WindowKeys keys{{
        .window = &window, .browser = browser,
        .runControl = [this](Control control) { runs.push_back(control); },
        .compact = [this] { return compact; },
        .userActed = [] {},
        .inHeader = [this](const QObject* widget) { return widget == header; },
        .enterHeader = [this](bool) { header->setFocus(); },
        .bars = [this] { return QList<QWidget*>{nullptr, bar}; },
        .print = [this] { asked.push_back("print"); },
        .find = [this] { asked.push_back("find"); },
        .pageAction = [this](QWebEnginePage::WebAction action) {
            asked.push_back(action == QWebEnginePage::Stop ? "stop" : action == QWebEnginePage::Back ? "back" : "forward");
        },
        .loading = [] { return true; },
        .zoom = [] { return 1.0; },
        .setZoom = [this](double) { asked.push_back("zoom"); },
    }};
    // clang-format on

    Window() { browser->setFocusProxy(page); }
    QWidget* widget(To to)
    {
        return std::array<QWidget*, 5>{&window, page, header, barButton, &otherWindow}[int(to)];
    }
    bool deliver(const Delivery& d)
    {
        std::unique_ptr<QEvent> event;
        if (d.type == QEvent::Close)
            event = std::make_unique<QCloseEvent>();
        else
            event = std::make_unique<QKeyEvent>(d.type, d.key, d.modifiers, QString(), d.autoRepeat);
        bool handled = false;
        keys.Filter(widget(d.to), event.get(), handled);
        EXPECT_EQ(event->isAccepted(), !(d.type == QEvent::Close && handled)) << "a kept close is ignored";
        return handled;
    }
};

TEST(WindowKeys, eachKeyCountsOnceAndActsAsTheTableSays)
{
    using enum QEvent::Type;
    // clang-format off
    const Case cases[] = {
        {"F5 runs the portal button once; its press comes back from the page as a copy",
         {{To::Page, KeyPress, Qt::Key_F5}, {To::Window, KeyPress, Qt::Key_F5}, {To::Page, KeyRelease, Qt::Key_F5}},
         {Control::BtnOstrelWeb}, {}, true},
        {"F5 with the focus outside the page", {{To::Window, KeyRelease, Qt::Key_F5}},
         {Control::BtnOstrelWeb}, {}, true},
        {"an auto-repeat's release goes to the page, and its copy back runs nothing",
         {{To::Page, KeyRelease, Qt::Key_F5, {}, true}, {To::Window, KeyRelease, Qt::Key_F5}}, {}, {}, false},
        {"Tab the page leaves comes back, and is kept from the window's focus handling",
         {{To::Page, KeyPress, Qt::Key_Tab}, {To::Window, KeyPress, Qt::Key_Tab}}, {}, {}, true},
        {"compact: F2 and F4 do nothing, F12 still runs",
         {{To::Page, KeyRelease, Qt::Key_F2}, {To::Page, KeyRelease, Qt::Key_F4}, {To::Page, KeyRelease, Qt::Key_F12}},
         {Control::btnCalculator}, {}, true, std::nullopt, true},
        {"F2 and F4", {{To::Page, KeyRelease, Qt::Key_F2}, {To::Window, KeyRelease, Qt::Key_F4}},
         {Control::BtnOWS, Control::BtnBestanden}, {}, true},
        {"Ctrl+F in the header finds", {{To::Header, KeyPress, Qt::Key_F, Qt::ControlModifier}}, {}, {"find"}, true},
        {"Ctrl+F in another window is that window's",
         {{To::OtherWindow, KeyPress, Qt::Key_F, Qt::ControlModifier}}, {}, {}, false},
        {"Ctrl+P, Ctrl+= and Alt+Left in the page",
         {{To::Page, KeyPress, Qt::Key_P, Qt::ControlModifier}, {To::Page, KeyPress, Qt::Key_Equal, Qt::ControlModifier},
          {To::Page, KeyPress, Qt::Key_Left, Qt::AltModifier}}, {}, {"print", "zoom", "back"}, true},
        {"Escape stops the page that loads", {{To::Page, KeyPress, Qt::Key_Escape}}, {}, {"stop"}, true},
        {"Escape in the header is the header's", {{To::Header, KeyPress, Qt::Key_Escape}}, {}, {}, false},
        {"F6 from the page enters the header", {{To::Page, KeyPress, Qt::Key_F6}}, {}, {}, true, To::Header},
        {"F6 from the header goes to a bar that shows", {{To::Header, KeyPress, Qt::Key_F6}}, {}, {}, true, To::Bar},
        {"F6 from the bar goes back to the page", {{To::Bar, KeyPress, Qt::Key_F6}}, {}, {}, true, To::Page},
        {"F6 from the header passes a hidden bar",
         {{To::Header, KeyPress, Qt::Key_F6}}, {}, {}, true, To::Page, false, false},
        {"a close aimed inside the browser closes nothing", {{To::Page, Close}}, {}, {}, true},
        {"the window's own close goes on", {{To::Window, Close}}, {}, {}, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        Window w;
        w.compact = c.compact;
        w.bar->setVisible(c.barShown);
        w.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window)) << c.what;
        bool handled = false;
        for (const Delivery& d : c.deliveries)
            handled = w.deliver(d);
        EXPECT_EQ(w.runs, c.runs) << c.what;
        EXPECT_EQ(w.asked, c.asked) << c.what;
        EXPECT_EQ(handled, c.lastHandled) << c.what;
        if (c.focus) {
            EXPECT_EQ(QApplication::focusWidget(), w.widget(*c.focus)) << c.what;
        }
    }
}

} // namespace
} // namespace ostrel::ui
