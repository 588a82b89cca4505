#include "web/popupwindow.h"

#include "host/centring.h"
#include "web/freedmemory.h"
#include "web/pagedialog.h"
#include "web/pagemenu.h"
#include "web/showntext.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace ostrel::web {

PopupWindow::PopupWindow(const PageContext& context, bool clicked) : clicked_(clicked), mainView_(context.mainView)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The keyboard stays where the user is: a window a page opens by itself comes up behind.
    setAttribute(Qt::WA_ShowWithoutActivating, !clicked);
    // The program ends when its main window closes, whatever pages have opened (see CloseAll).
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* page = new WebPage(context, this);
    setPage(page);
    // The window follows what the page asks of it, as far as the free area holds it (the screen
    // below the main window's header): its size and place, its title, being closed. The first
    // request is the size window.open() asked for, of the page; the window is centred at it. It may
    // come before or after the window manager placed the window at its first size: either way it
    // ends up there. Later ones (moveTo, resizeTo) are of the frame: taken as the page's, each
    // moveTo would grow the window by its frame.
    connect(page, &QWebEnginePage::geometryChangeRequested, this,
            [this, first = true](const QRect& asked) mutable {
                if (!asked.isValid())
                    return;
                if (std::exchange(first, false))
                    host::FitFrameOnScreen(*this, asked.size(), std::nullopt, freeArea());
                else
                    host::FitFrameOnScreen(*this, asked.size().shrunkBy(host::FrameMargins(*this)),
                                           asked.topLeft(), freeArea());
            });
    connect(page, &QWebEnginePage::titleChanged, this,
            [this, page](const QString& title) { setWindowTitle(PageWindowTitle(title, page->url())); });
    connect(page, &QWebEnginePage::windowCloseRequested, this, &QWidget::close);
    host::FitFrameOnScreen(*this, QSize(800, 600), std::nullopt, freeArea());
}

// The screen below the top of the main window's page, where its header ends; all of it while the
// main window is not shown.
QRect PopupWindow::freeArea() const
{
    if (!mainView_ || !mainView_->isVisible())
        return {};
    const QRect screen = mainView_->screen()->availableGeometry();
    const int top = mainView_->mapToGlobal(QPoint(0, 0)).y();
    return QRect(screen.left(), top, screen.width(), screen.bottom() - top + 1);
}

// The page goes before the view that shows it, as in the main window.
PopupWindow::~PopupWindow()
{
    delete page();
    ReturnFreedMemorySoon();
}

WebPage* PopupWindow::Open(const PageContext& context, bool clicked)
{
    auto* window = new PopupWindow(context, clicked);
    window->show();
    return static_cast<WebPage*>(window->page());
}

int PopupWindow::OpenedWithoutClick()
{
    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* popup = qobject_cast<PopupWindow*>(widget); popup && !popup->clicked_)
            ++open;
    return open;
}

// Closing while the page's dialog waits for an answer would take the page away under the engine:
// the dialog goes first, the window right after.
void PopupWindow::closeEvent(QCloseEvent* event)
{
    if (PageDialog::Dismiss(this)) {
        event->ignore();
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    QWebEngineView::closeEvent(event);
}

void PopupWindow::CloseAll()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        delete qobject_cast<PopupWindow*>(widget);
}

void PopupWindow::contextMenuEvent(QContextMenuEvent* event)
{
    ShowPageMenu(*this, event->globalPos(), static_cast<WebPage*>(page())->context().programEntry);
}

} // namespace ostrel::web
