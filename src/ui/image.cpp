#include "ui/image.h"

#include <QPainter>

namespace ostrel::ui {

TJvImage::TJvImage(QWidget* parent) : TGraphicControl(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void TJvImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Picture.Draw(painter, QPoint(0, 0), devicePixelRatioF());
}

} // namespace ostrel::ui
