#pragma once

#include "web/webpage.h"

#include <QPointer>
#include <QRect>
#include <QWebEngineView>

namespace ostrel::web {

// A plain browser window for pages that open one (target=_blank, window.open), on the main
// window's profile so the portal session carries over. Its own page may close it; it stays on the
// screen, title bar and all, and off the main window's header, whatever size and place the page
// asks for; it takes the keyboard only when the user opened it.
class PopupWindow final : public QWebEngineView {
    Q_OBJECT
public:
    // Makes and shows a window; returns its page for the engine to load into. clicked: the user
    // asked for it (a link, a button), not the page by itself.
    static WebPage* Open(const PageContext& context, bool clicked);
    // Windows that pages opened without a click and that are still open.
    static int OpenedWithoutClick();
    // Closes every such window: they go with the main window, before the profile they use.
    static void CloseAll();
    ~PopupWindow() override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    PopupWindow(const PageContext& context, bool clicked);
    QRect freeArea() const;

    bool clicked_;
    QPointer<const QWidget> mainView_;
};

} // namespace ostrel::web
