#include "host/popupwindow.h"

#include "host/webenginebrowser.h"

namespace ostrel::host {

PopupWindow::PopupWindow(QWebEngineProfile* profile)
{
    setAttribute(Qt::WA_DeleteOnClose);
    auto* page = new WebPage(profile, this);
    setPage(page);
    // The window follows what the page asks of it: its size, its title, being closed.
    connect(page, &QWebEnginePage::geometryChangeRequested, this, [this](const QRect& geometry) {
        if (geometry.isValid())
            resize(geometry.size());
    });
    connect(page, &QWebEnginePage::titleChanged, this, &QWidget::setWindowTitle);
    connect(page, &QWebEnginePage::windowCloseRequested, this, &QWidget::close);
    resize(800, 600);
}

// The page goes before the view that shows it, as in the main window.
PopupWindow::~PopupWindow()
{
    delete page();
}

QWebEnginePage* PopupWindow::Open(QWebEngineProfile* profile)
{
    auto* window = new PopupWindow(profile);
    window->show();
    return window->page();
}

} // namespace ostrel::host
