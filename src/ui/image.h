#pragma once

#include "ui/graphiccontrol.h"


namespace ostrel::ui {

// A picture at its natural size from the top-left corner, clipped by the control.
class TJvImage final : public TGraphicControl {
    Q_OBJECT
public:
    explicit TJvImage(QWidget* parent);
    ScaledPicture Picture;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ostrel::ui
