#include "ui/label.h"

#include <QPainter>

namespace ostrel::ui {

TRzLabel::TRzLabel(QWidget* parent) : TGraphicControl(parent), colour_(Qt::white) {}

void TRzLabel::SetCaption(const QString& caption)
{
    caption_ = caption;
    resize(fontMetrics()
               .boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, caption)
               .size());
    update();
}

void TRzLabel::SetFontColor(const QColor& colour)
{
    colour_ = colour;
    update();
}

void TRzLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(colour_);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop, caption_);
}

} // namespace ostrel::ui
