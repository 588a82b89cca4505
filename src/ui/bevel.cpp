#include "ui/bevel.h"

#include <QPainter>

namespace ostrel::ui {

TBevel::TBevel(QWidget* parent) : TGraphicControl(parent) {}

void TBevel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(0, 0, 1, height(), Shadow3D());
    painter.fillRect(1, 0, 1, height(), Highlight3D());
}

} // namespace ostrel::ui
