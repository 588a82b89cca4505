// The main window's keys and the mouse's side buttons. Every event of the application passes here
// before its target sees it (app/messagefilter.h has the rules): the function keys run header
// controls, the keys any browser has act on the page wherever the focus is, F6 goes round the
// window's panes, and a close request aimed inside the browser reaches nothing.
#pragma once

#include "app/messagefilter.h"
#include "base/control.h"

#include <QElapsedTimer>
#include <QList>
#include <QWebEnginePage>

#include <functional>

class QEvent;
class QObject;
class QWidget;

namespace ostrel::ui {

class WindowKeys final {
public:
    // What the keys act on, handed over by the window; every hook is set.
    struct Parts {
        QWidget* window = nullptr;               // the top-level window whose keys these are
        QWidget* browser = nullptr;              // the page's view: a widget inside it is the page's
        std::function<void(Control)> runControl; // a header control's action, as its click runs it
        std::function<bool()> compact;           // while true, F2 and F4 do nothing
        std::function<void()> userActed;         // a click or activating key of the user's on a page
        // The header's keyboard route: whether it holds a widget, and the way in at the first
        // (at the end: last) control.
        std::function<bool(const QObject*)> inHeader;
        std::function<void(bool atTheEnd)> enterHeader;
        // The bars under the page in F6's order, null where there is none; a bar takes part
        // while it shows a control.
        std::function<QList<QWidget*>()> bars;
        // The browser's own.
        std::function<void()> print;
        std::function<void()> find; // opens the find bar
        std::function<void(QWebEnginePage::WebAction)> pageAction;
        std::function<bool()> loading;
        std::function<double()> zoom;
        std::function<void(double)> setZoom;
    };

    explicit WindowKeys(Parts parts);

    // One event on its way to its target; handled keeps it from the target.
    void Filter(QObject* target, QEvent* event, bool& handled);

private:
    bool runBrowserAction(app::BrowserAction action, QObject* target);
    void nextPane(QObject* from, bool backwards);

    Parts parts_;
    app::KeyDeliveries deliveries_;
    QElapsedTimer clock_;
};

} // namespace ostrel::ui
