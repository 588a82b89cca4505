#include "web/viewoverlay.h"

#include <QAccessibleWidget>
#include <QEvent>

namespace ostrel::web {

ViewOverlay::ViewOverlay(QWidget* view, QAccessible::Role role)
    : QFrame(view->parentWidget() ? view->parentWidget() : view), view_(view), role_(role)
{
    QAccessible::installFactory(&ViewOverlay::accessible); // once: Qt keeps a factory once
    view->installEventFilter(this);
    connect(view, &QObject::destroyed, this, [this] {
        hide();
        deleteLater();
    });
}

QAccessibleInterface* ViewOverlay::accessible(const QString&, QObject* object)
{
    auto* overlay = qobject_cast<ViewOverlay*>(object);
    return overlay ? new QAccessibleWidget(overlay, overlay->role_) : nullptr;
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
