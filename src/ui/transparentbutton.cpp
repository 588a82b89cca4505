#include "ui/transparentbutton.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

namespace ostrel::ui {

namespace {
// Notes whether a modal dialog blocked the window while it lives.
class DialogWatch final : public QObject {
public:
    explicit DialogWatch(QWidget* window) : window_(window) { window_->installEventFilter(this); }
    ~DialogWatch() override { window_->removeEventFilter(this); }
    bool blocked = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        blocked = blocked || event->type() == QEvent::WindowBlocked;
        return false;
    }

private:
    QWidget* window_;
};
// The glyph with its key colour made transparent. An alpha channel rather than a mask, so that a
// glyph scaled smoothly blends its edge with the panel, not with the key colour.
QPixmap keyed(const QImage& glyph)
{
    if (glyph.isNull())
        return {};
    QImage image = glyph.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = line[x] == key ? 0 : line[x] | 0xff000000u;
    }
    return QPixmap::fromImage(image);
}
} // namespace

TJvTransparentButton::TJvTransparentButton(QWidget* parent) : TGraphicControl(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void TJvTransparentButton::SetGlyph(const QImage& glyph, const QImage& doubled)
{
    glyph_ = {keyed(glyph), keyed(doubled)};
}

void TJvTransparentButton::setPointerInside(bool inside)
{
    if (inside == pointerInside_)
        return;
    pointerInside_ = inside;
    if (const Handler& handler = inside ? OnMouseEnter : OnMouseLeave)
        handler();
    repaint();
}

void TJvTransparentButton::enterEvent(QEnterEvent*)
{
    setPointerInside(true);
}

void TJvTransparentButton::leaveEvent(QEvent*)
{
    if (!mouseDown_) // while pressed, the moves decide (Qt's own leave comes at the release)
        setPointerInside(false);
}

void TJvTransparentButton::mousePressEvent(QMouseEvent* event)
{
    TGraphicControl::mousePressEvent(event);
    // Any button gives the pressed look; only the left one can click. Qt's implicit grab keeps
    // the moves and the release coming here while the button is held.
    mouseDown_ = true;
    pointerInside_ = true;
    repaint();
}

void TJvTransparentButton::mouseMoveEvent(QMouseEvent* event)
{
    if (mouseDown_)
        setPointerInside(rect().contains(event->position().toPoint()));
}

void TJvTransparentButton::mouseReleaseEvent(QMouseEvent* event)
{
    // The click handler runs while the button still looks pressed. A dialog it opens blocks the
    // window, and Qt gives a blocked window no leave: where the pointer went meanwhile is asked
    // afresh when the handler returns.
    DialogWatch dialog(window());
    raiseClickOnLeftRelease(event);
    mouseDown_ = false;
    setPointerInside(
        rect().contains(dialog.blocked ? mapFromGlobal(QCursor::pos()) : event->position().toPoint()));
    repaint();
}

void TJvTransparentButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = width();
    const int h = height();

    if (Frame == FrameStyle::fsLight && (mouseDown_ || pointerInside_)) {
        const QColor topLeft = mouseDown_ ? Shadow3D() : Highlight3D();
        const QColor bottomRight = mouseDown_ ? Highlight3D() : Shadow3D();
        painter.fillRect(0, 0, w, 1, topLeft);
        painter.fillRect(0, 0, 1, h, topLeft);
        painter.fillRect(0, h - 1, w, 1, bottomRight);
        painter.fillRect(w - 1, 0, 1, h, bottomRight);
    }

    const int offset = mouseDown_ ? 1 : 0;
    int glyphTop = Spacing;
    int glyphHeight = 0;
    if (!glyph_.IsNull()) {
        const QSize size = glyph_.Size();
        const int left = Align == TextAlign::ttaBottom ? (w - size.width()) / 2 : Spacing;
        glyphTop = Align == TextAlign::ttaBottom ? Spacing : (h - size.height()) / 2;
        glyphHeight = size.height();
        glyph_.Draw(painter, QPoint(left + offset, glyphTop + offset), devicePixelRatioF());
    }

    if (Caption.isEmpty())
        return;
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const int flags = Qt::AlignHCenter | Qt::AlignTop | (WordWrap ? Qt::TextWordWrap : 0);
    const QRect block =
        painter.fontMetrics().boundingRect(QRect(0, 0, WordWrap ? w : 100000, 100000), flags, Caption);
    int left = 0;
    int top = 0;
    if (Align == TextAlign::ttaBottom) {
        left = w / 2 - block.width() / 2;
        top = glyphTop + glyphHeight + Spacing;
    } else {
        left = w - Spacing - block.width();
        top = h / 2 - block.height() / 2;
    }
    painter.drawText(QRect(left + offset, top + offset, block.width(), block.height()), flags, Caption);
}

} // namespace ostrel::ui
