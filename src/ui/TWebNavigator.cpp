#include "ui/TWebNavigator.h"

#include "host/services.h"
#include "host/webenginebrowser.h"

#include <QEvent>
#include <QPalette>
#include <QTimer>
#include <QVBoxLayout>

namespace ostrel::ui {

namespace {
constexpr int kHeaderHeight = 97;
const QColor kHeaderColour(44, 106, 149);
constexpr QSize kRestoredClientSize(1259, 841);
constexpr int kRestoreMaximisedWindowMs = 1000;
} // namespace

TWebNavigator::TWebNavigator(host::Services& services, QWidget* parent)
    : QWidget(parent), WebBrowser(new host::WebEngineBrowser(this)), PnlMenu(new QWidget(this)),
      services_(services), portal_(*WebBrowser, *services.registry)
{
    PnlMenu->setFixedHeight(kHeaderHeight);
    PnlMenu->setAutoFillBackground(true);
    QPalette palette = PnlMenu->palette();
    palette.setColor(QPalette::Window, kHeaderColour);
    PnlMenu->setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PnlMenu);
    layout->addWidget(WebBrowser, 1);
    resize(kRestoredClientSize);
}

TWebNavigator::~TWebNavigator() = default;

void TWebNavigator::FormCreate()
{
    app::RunStartupSequence(*this, portal_, *services_.pause);
}

// Under X, a window that holds a browser view forgets that it is maximised when it is first shown
// (and when Qt re-creates its native window for the view): the platform reports it restored a
// moment later. Put the state back when that happens right after either event.
bool TWebNavigator::event(QEvent* event)
{
    const bool maximised = windowState() & Qt::WindowMaximized;
    if ((event->type() == QEvent::Show || (event->type() == QEvent::WinIdChange && isVisible())) && maximised) {
        restoreMaximised_ = true;
        QTimer::singleShot(kRestoreMaximisedWindowMs, this, [this] { restoreMaximised_ = false; });
    } else if (event->type() == QEvent::WindowStateChange && restoreMaximised_ && !maximised) {
        restoreMaximised_ = false;
        QTimer::singleShot(0, this, [this] { setWindowState(windowState() | Qt::WindowMaximized); });
    }
    return QWidget::event(event);
}

void TWebNavigator::SetCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

std::string TWebNavigator::Caption() const
{
    return windowTitle().toStdString();
}

void TWebNavigator::Maximise()
{
    setWindowState(windowState() | Qt::WindowMaximized);
}

} // namespace ostrel::ui
