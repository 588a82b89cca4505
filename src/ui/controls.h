// The header's controls: light child widgets painted on the header panel. None takes keyboard
// focus, none has a native window, and each takes every press inside its rectangle.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>

namespace ostrel::host {
class Shell;
}

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

enum class FrameStyle { fsNone, fsLight };
enum class TextAlign { ttaBottom, ttaRight };

class TJvTransparentButton final : public TGraphicControl {
    Q_OBJECT
public:
    explicit TJvTransparentButton(QWidget* parent);

    QString Caption;
    FrameStyle Frame = FrameStyle::fsLight;
    TextAlign Align = TextAlign::ttaBottom;
    int Spacing = 2;
    bool WordWrap = false;

    // Every pixel of the colour of the glyph's bottom-left pixel is left undrawn.
    void SetGlyph(const QImage& glyph);
    const QPixmap& Glyph() const { return glyph_; }

    // Runs the click handler as a user's click would, without any change of look.
    void Click();

    bool PointerInside() const { return pointerInside_; }
    bool MouseButtonDown() const { return mouseDown_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setPointerInside(bool inside);

    QPixmap glyph_;
    bool pointerInside_ = false;
    bool mouseDown_ = false;
};

// A picture at its natural size from the top-left corner, clipped by the control.
class TJvImage final : public TGraphicControl {
    Q_OBJECT
public:
    explicit TJvImage(QWidget* parent);
    QImage Picture;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Plain text on a transparent background, one line per line break; its size follows the text.
class TRzLabel : public TGraphicControl {
    Q_OBJECT
public:
    explicit TRzLabel(QWidget* parent);
    void SetCaption(const QString& caption);
    QString Caption() const { return caption_; }
    void SetFontColor(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
    QColor colour_;
};

// A label that opens its URL (or else its caption) through the desktop shell when clicked.
class TRzURLLabel final : public TRzLabel {
    Q_OBJECT
public:
    TRzURLLabel(QWidget* parent, host::Shell& shell);

    QString URL;
    QColor UnvisitedColor = Qt::white;
    QColor VisitedColor = Qt::white;
    bool Visited() const { return visited_; }

private:
    void openLink();

    host::Shell& shell_;
    bool visited_ = false;
};

// A lowered line at the left edge: two pixels, the system's 3-D shadow then its highlight.
class TBevel final : public TGraphicControl {
    Q_OBJECT
public:
    explicit TBevel(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The header panel. A press of any mouse button on its own background is OnMouseDown's.
class TPanel final : public QWidget {
    Q_OBJECT
public:
    TPanel(QWidget* parent, const QColor& colour);

    std::function<void(QMouseEvent*)> OnMouseDown;

    // Lets the window system move the window with the pointer, as a drag of its title bar would;
    // without one, moves it here until the button is released.
    void StartWindowMove(QMouseEvent* press);
    bool MovingWindow() const { return moving_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor colour_;
    bool moving_ = false;
    QPoint moveOrigin_;
};

} // namespace ostrel::ui
