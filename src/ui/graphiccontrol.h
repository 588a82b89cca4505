// The header's controls are light child widgets painted on the header panel. None takes keyboard
// focus, none has a native window, and each takes every press inside its rectangle.
// What every control shares.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace ostrel::ui {

using Handler = std::function<void()>;

// What every header control shares: a rectangle on the panel, a font, a hint and the events.
class TGraphicControl : public QWidget {
    Q_OBJECT
public:
    explicit TGraphicControl(QWidget* parent);

    void SetHint(const QString& hint);

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

// "MS Sans Serif" where it exists, else a sans-serif face of about its width, at a pixel height.
QFont HeaderFont(int pixelHeight);

// The system's 3-D shadow and highlight, for the frames of the buttons and the bevels.
QColor Shadow3D();
QColor Highlight3D();

} // namespace ostrel::ui
