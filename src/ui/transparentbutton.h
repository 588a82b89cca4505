// A header button: a glyph and a caption, framed while the pointer is over it or it is pressed.
#pragma once

#include "ui/graphiccontrol.h"

#include <QImage>

namespace ostrel::ui {

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

    // Every pixel of the colour of the glyph's bottom-left pixel is left undrawn. The doubled
    // glyph, when given, is drawn on screens scaled above 100 %.
    void SetGlyph(const QImage& glyph, const QImage& doubled = {});
    const ScaledPicture& Glyph() const { return glyph_; }


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

    ScaledPicture glyph_;
    bool pointerInside_ = false;
    bool mouseDown_ = false;
};

} // namespace ostrel::ui
