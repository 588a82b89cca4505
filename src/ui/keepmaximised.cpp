#include "ui/keepmaximised.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace ostrel::ui {

namespace {
constexpr int kRestoreMaximisedWindowMs = 1000;
}

KeepMaximised::KeepMaximised(QWidget* window) : QObject(window), window_(window)
{
    window_->installEventFilter(this);
}

bool KeepMaximised::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window_)
        return false;
    const bool maximised = window_->windowState() & Qt::WindowMaximized;
    if ((event->type() == QEvent::Show || (event->type() == QEvent::WinIdChange && window_->isVisible())) &&
        maximised) {
        restore_ = true;
        QTimer::singleShot(kRestoreMaximisedWindowMs, this, [this] { restore_ = false; });
    } else if (event->type() == QEvent::WindowStateChange && restore_ && !maximised) {
        restore_ = false;
        QTimer::singleShot(0, this,
                           [this] { window_->setWindowState(window_->windowState() | Qt::WindowMaximized); });
    }
    return false;
}

} // namespace ostrel::ui
