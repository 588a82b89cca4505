#include "ui/panel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace ostrel::ui {

TPanel::TPanel(QWidget* parent, const QColor& colour) : QWidget(parent), colour_(colour)
{
    setFocusPolicy(Qt::NoFocus);
}

void TPanel::paintEvent(QPaintEvent* event)
{
    QPainter(this).fillRect(event->rect(), colour_);
}

void TPanel::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (OnMouseDown)
        OnMouseDown(event);
}

void TPanel::StartWindowMove(QMouseEvent* press)
{
    QWidget* top = window();
    if (top->windowHandle() && top->windowHandle()->startSystemMove())
        return;
    // No window manager to ask: move the window with the pointer until the button is released.
    moving_ = true;
    moveOrigin_ = press->globalPosition().toPoint() - top->pos();
}

void TPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (moving_)
        window()->move(event->globalPosition().toPoint() - moveOrigin_);
}

void TPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->buttons() == Qt::NoButton)
        moving_ = false;
}

} // namespace ostrel::ui
