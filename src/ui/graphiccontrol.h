// The header's controls are light child widgets painted on the header panel. None takes keyboard
// focus, none has a native window, and each takes every press inside its rectangle.
// What every control shares.
#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>
#include <utility>

class QPainter;

namespace ostrel::ui {

using Handler = std::function<void()>;

// What every header control shares: a rectangle on the panel, a font, a hint and the events.
class TGraphicControl : public QWidget {
    Q_OBJECT
public:
    explicit TGraphicControl(QWidget* parent);

    void SetHint(const QString& hint);
    // Runs the click handler as a user's click would, without any change of look: the keyboard and
    // assistive technology press a control so.
    void Click();

    Handler OnClick;
    Handler OnMouseEnter;
    Handler OnMouseLeave;

protected:
    // A press inside a control is the control's, never the panel's (which would move the window).
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // A click is a left press and release over the control.
    void raiseClickOnLeftRelease(QMouseEvent* event);

private:
    bool leftPressed_ = false;
};

// One of our pictures, read as the format named: Qt reads a picture of no named format, or of a
// named one, by asking every image plugin what it is first, which loads them all (3 libraries).
QImage ReadPicture(const QString& path, const char* format);

// A header picture as designed, and the same picture drawn at twice the size for screens scaled
// above 100 %; the header's pixels are those of the first.
struct ScaledPicture {
    ScaledPicture() = default;
    ScaledPicture(QPixmap normalPicture, QPixmap doubledPicture)
        : normal(std::move(normalPicture)), doubled(std::move(doubledPicture))
    {
        doubled.setDevicePixelRatio(2);
    }

    QPixmap normal;
    QPixmap doubled; // null where there is none

    bool IsNull() const { return normal.isNull(); }
    QSize Size() const { return normal.size(); }
    // The one made for a screen of this device pixel ratio.
    const QPixmap& For(qreal devicePixelRatio) const
    {
        return devicePixelRatio > 1 && !doubled.isNull() ? doubled : normal;
    }
    // Draws it into the rectangle of its size at the painter's point, scaled smoothly where
    // the screen's ratio is not the picture's own (a 2x picture on a 150 % screen).
    void Draw(QPainter& painter, QPoint at, qreal devicePixelRatio) const;
};

// The height of a row of the header: a narrow panel takes more than one.
inline constexpr int kHeaderRowHeight = 97;

// The order the header's controls stand in: row by row, in a row column by column from the left,
// each from the top (a column's small buttons stand a pixel apart). The keyboard and a screen
// reader go through them so.
bool StandsBefore(const QWidget* a, const QWidget* b);

// "MS Sans Serif" where it exists, else a sans-serif face of about its width, at a pixel height.
QFont HeaderFont(int pixelHeight);

// The system's 3-D shadow and highlight, for the frames of the buttons and the bevels.
QColor Shadow3D();
QColor Highlight3D();

} // namespace ostrel::ui
