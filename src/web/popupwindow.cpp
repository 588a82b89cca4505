#include "web/popupwindow.h"

#include "host/centring.h"
#include "host/memory.h"
#include "web/pagedialog.h"
#include "web/pagemenu.h"
#include "web/showntext.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QTimer>

#include <utility>

namespace ostrel::web {

namespace {
// The engine lets go of a closed window's page over the next moments: the memory is given back
// once no window has closed for this long.
constexpr int kReturnMemoryAfterMs = 1000;

// The one timer for it is the application object's, made when the first window closes.
void returnFreedMemorySoon()
{
    const QString name = QStringLiteral("ostrel-return-freed-memory");
    auto* timer = qApp->findChild<QTimer*>(name, Qt::FindDirectChildrenOnly);
    if (!timer) {
        timer = new QTimer(qApp);
        timer->setObjectName(name);
        timer->setSingleShot(true);
        timer->setInterval(kReturnMemoryAfterMs);
        QObject::connect(timer, &QTimer::timeout, &host::ReturnFreedMemory);
    }
    timer->start();
}
} // namespace

PopupWindow::PopupWindow(const PageContext& context, bool clicked) : clicked_(clicked)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The program ends when its main window closes, whatever pages have opened (see CloseAll).
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* page = new WebPage(context, this);
    setPage(page);
    // The window follows what the page asks of it, as far as the screen holds it: its size and
    // place, its title, being closed. The first request is the size window.open() asked for; the
    // window is centred at it. It may come before or after the window manager placed the window
    // at its first size: either way it ends up there.
    connect(page, &QWebEnginePage::geometryChangeRequested, this,
            [this, first = true](const QRect& asked) mutable {
                if (!asked.isValid())
                    return;
                if (std::exchange(first, false))
                    host::FitFrameOnScreen(*this, asked.size());
                else
                    host::FitFrameOnScreen(*this, asked.size(), asked.topLeft());
            });
    connect(page, &QWebEnginePage::titleChanged, this,
            [this, page](const QString& title) { setWindowTitle(PageWindowTitle(title, page->url())); });
    connect(page, &QWebEnginePage::windowCloseRequested, this, &QWidget::close);
    host::FitFrameOnScreen(*this, QSize(800, 600));
}

// The page goes before the view that shows it, as in the main window.
PopupWindow::~PopupWindow()
{
    delete page();
    returnFreedMemorySoon();
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
