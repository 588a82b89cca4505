#include "ui/image.h"

#include <QPainter>

namespace ostrel::ui {

TJvImage::TJvImage(QWidget* parent) : TGraphicControl(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void TJvImage::paintEvent(QPaintEvent*)
{
    QPainter(this).drawImage(0, 0, Picture);
}

} // namespace ostrel::ui
