#include "web/viewoverlay.h"

#include "web/accessiblerole.h"

#include <QEvent>

namespace ostrel::web {

ViewOverlay::ViewOverlay(QWidget* view, QAccessible::Role role)
    : QFrame(view->parentWidget() ? view->parentWidget() : view), view_(view)
{
    SetAccessibleRole(this, role);
    view->installEventFilter(this);
    connect(view, &QObject::destroyed, this, [this] {
        hide();
        deleteLater();
    });
}

QRect ViewOverlay::viewArea() const
{
    if (!view_)
        return {};
    return view_ == parentWidget() ? view_->rect() : view_->geometry();
}

void ViewOverlay::showOnTop()
{
    place(viewArea());
    raise();
    show();
}

bool ViewOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        place(viewArea());
    return QFrame::eventFilter(watched, event);
}

} // namespace ostrel::web
