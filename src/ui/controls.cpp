#include "ui/controls.h"

#include "host/shell.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace ostrel::ui {

namespace {
QColor shadow3D()
{
    return QApplication::palette().color(QPalette::Dark);
}
QColor highlight3D()
{
    return QApplication::palette().color(QPalette::Light);
}
void run(const Handler& handler)
{
    if (handler)
        handler();
}

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
} // namespace

QFont HeaderFont(int pixelHeight)
{
    // Liberation Sans and Arial are about as wide as MS Sans Serif; wider faces overflow the
    // buttons of the header, which were sized for it.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    return font;
}

TGraphicControl::TGraphicControl(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_NoSystemBackground); // the panel shows through
}

void TGraphicControl::SetHint(const QString& hint)
{
    setToolTip(hint);
}

void TGraphicControl::mousePressEvent(QMouseEvent* event)
{
    leftPressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void TGraphicControl::mouseReleaseEvent(QMouseEvent* event)
{
    raiseClickOnLeftRelease(event);
}

void TGraphicControl::raiseClickOnLeftRelease(QMouseEvent* event)
{
    const bool click = leftPressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    leftPressed_ = false;
    event->accept();
    if (click)
        run(OnClick);
}

// ---- TJvTransparentButton ----

TJvTransparentButton::TJvTransparentButton(QWidget* parent) : TGraphicControl(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void TJvTransparentButton::SetGlyph(const QImage& glyph)
{
    if (glyph.isNull()) {
        glyph_ = QPixmap();
        return;
    }
    const QImage image = glyph.convertToFormat(QImage::Format_RGB32);
    const QRgb transparent = image.pixel(0, image.height() - 1);
    glyph_ = QPixmap::fromImage(image);
    glyph_.setMask(QBitmap::fromImage(image.createMaskFromColor(transparent, Qt::MaskInColor)));
}

void TJvTransparentButton::Click()
{
    run(OnClick);
}

void TJvTransparentButton::setPointerInside(bool inside)
{
    if (inside == pointerInside_)
        return;
    pointerInside_ = inside;
    run(inside ? OnMouseEnter : OnMouseLeave);
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
    setPointerInside(rect().contains(dialog.blocked ? mapFromGlobal(QCursor::pos()) : event->position().toPoint()));
    repaint();
}

void TJvTransparentButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = width();
    const int h = height();

    if (Frame == FrameStyle::fsLight && (mouseDown_ || pointerInside_)) {
        const QColor topLeft = mouseDown_ ? shadow3D() : highlight3D();
        const QColor bottomRight = mouseDown_ ? highlight3D() : shadow3D();
        painter.fillRect(0, 0, w, 1, topLeft);
        painter.fillRect(0, 0, 1, h, topLeft);
        painter.fillRect(0, h - 1, w, 1, bottomRight);
        painter.fillRect(w - 1, 0, 1, h, bottomRight);
    }

    const int offset = mouseDown_ ? 1 : 0;
    int glyphTop = Spacing;
    int glyphHeight = 0;
    if (!glyph_.isNull()) {
        const int left = Align == TextAlign::ttaBottom ? (w - glyph_.width()) / 2 : Spacing;
        glyphTop = Align == TextAlign::ttaBottom ? Spacing : (h - glyph_.height()) / 2;
        glyphHeight = glyph_.height();
        painter.drawPixmap(left + offset, glyphTop + offset, glyph_);
    }

    if (Caption.isEmpty())
        return;
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const int flags = Qt::AlignHCenter | Qt::AlignTop | (WordWrap ? Qt::TextWordWrap : 0);
    const QRect block = painter.fontMetrics().boundingRect(QRect(0, 0, WordWrap ? w : 100000, 100000), flags, Caption);
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

// ---- TJvImage ----

TJvImage::TJvImage(QWidget* parent) : TGraphicControl(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void TJvImage::paintEvent(QPaintEvent*)
{
    QPainter(this).drawImage(0, 0, Picture);
}

// ---- TRzLabel, TRzURLLabel ----

TRzLabel::TRzLabel(QWidget* parent) : TGraphicControl(parent), colour_(Qt::white) {}

void TRzLabel::SetCaption(const QString& caption)
{
    caption_ = caption;
    resize(fontMetrics().boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, caption).size());
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

TRzURLLabel::TRzURLLabel(QWidget* parent, host::Shell& shell) : TRzLabel(parent), shell_(shell)
{
    setCursor(Qt::PointingHandCursor);
    OnClick = [this] { openLink(); };
}

void TRzURLLabel::openLink()
{
    QString target = URL.trimmed();
    if (target.isEmpty())
        target = Caption().trimmed();
    if (target.isEmpty())
        return;
    if (shell_.OpenUrl(target.toStdString())) {
        visited_ = true;
        SetFontColor(VisitedColor);
    }
}

// ---- TBevel ----

TBevel::TBevel(QWidget* parent) : TGraphicControl(parent) {}

void TBevel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(0, 0, 1, height(), shadow3D());
    painter.fillRect(1, 0, 1, height(), highlight3D());
}

// ---- TPanel ----

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

void TPanel::StartWindowMove(QMouseEvent* event)
{
    QWidget* top = window();
    if (top->windowHandle() && top->windowHandle()->startSystemMove())
        return;
    // No window manager to ask: move the window with the pointer until the button is released.
    moving_ = true;
    moveOrigin_ = event->globalPosition().toPoint() - top->pos();
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
