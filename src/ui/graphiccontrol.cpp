#include "ui/graphiccontrol.h"

#include <QApplication>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

namespace ostrel::ui {

QColor Shadow3D()
{
    return QApplication::palette().color(QPalette::Dark);
}

QColor Highlight3D()
{
    return QApplication::palette().color(QPalette::Light);
}

void ScaledPicture::Draw(QPainter& painter, QPoint at, qreal devicePixelRatio) const
{
    const QPixmap& picture = For(devicePixelRatio);
    if (picture.isNull())
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform,
                          !qFuzzyCompare(devicePixelRatio, picture.devicePixelRatio()));
    painter.drawPixmap(QRect(at, Size()), picture);
    painter.restore();
}

bool StandsBefore(const QWidget* a, const QWidget* b)
{
    // The logo reaches above its row's top: a control's row is where its middle is.
    const auto row = [](const QWidget* w) { return (w->y() + w->height() / 2) / kHeaderRowHeight; };
    if (row(a) != row(b))
        return row(a) < row(b);
    return a->x() / 3 != b->x() / 3 ? a->x() < b->x() : a->y() < b->y();
}

QImage ReadPicture(const QString& path, const char* format)
{
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QFont HeaderFont(int pixelHeight)
{
    // Liberation Sans and Arial are about as wide as MS Sans Serif; wider faces overflow the
    // buttons of the header, which were sized for it.
    QFont font;
    font.setFamilies(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
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

void TGraphicControl::Click()
{
    if (OnClick)
        OnClick();
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
    const bool click =
        leftPressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    leftPressed_ = false;
    event->accept();
    if (click)
        Click();
}

} // namespace ostrel::ui
