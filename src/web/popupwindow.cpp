#include "web/popupwindow.h"

#include "host/centring.h"
#include "host/memory.h"
#include "web/pagemenu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QTimer>

#include <utility>

namespace ostrel::web {

namespace {
// The engine lets go of a closed window's page over the next moments: the memory is given back
// once no window has closed for this long.
constexpr int kReturnMemoryAfterMs = 1000;

void returnFreedMemorySoon()
{
    static QTimer* timer = [] {
        auto* created = new QTimer(qApp);
        created->setSingleShot(true);
        created->setInterval(kReturnMemoryAfterMs);
        QObject::connect(created, &QTimer::timeout, &host::ReturnFreedMemory);
        return created;
    }();
    timer->start();
}
} // namespace

PopupWindow::PopupWindow(QWebEngineProfile* profile, const WebPage::OutsideHandler& openOutside)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The program ends when its main window closes, whatever pages have opened (see CloseAll).
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* page = new WebPage(profile, this, openOutside);
    setPage(page);
    // The window follows what the page asks of it: its size, its title, being closed.
    // The first request is the size window.open() asked for. It may come before or after the
    // window manager placed the window at its first size: either way it ends up centred.
    connect(page, &QWebEnginePage::geometryChangeRequested, this,
            [this, first = true](const QRect& asked) mutable {
                if (!asked.isValid())
                    return;
                resize(asked.size());
                if (std::exchange(first, false))
                    host::CentreFrameOnScreen(*this);
            });
    connect(page, &QWebEnginePage::titleChanged, this, &QWidget::setWindowTitle);
    connect(page, &QWebEnginePage::windowCloseRequested, this, &QWidget::close);
    resize(800, 600);
}

// The page goes before the view that shows it, as in the main window.
PopupWindow::~PopupWindow()
{
    delete page();
    returnFreedMemorySoon();
}

QWebEnginePage* PopupWindow::Open(QWebEngineProfile* profile, const WebPage::OutsideHandler& openOutside)
{
    auto* window = new PopupWindow(profile, openOutside);
    window->show();
    return window->page();
}

void PopupWindow::CloseAll()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* popup = qobject_cast<PopupWindow*>(widget))
            delete popup;
}

void PopupWindow::contextMenuEvent(QContextMenuEvent* event)
{
    ShowPageMenu(*this, event->globalPos());
}

} // namespace ostrel::web
