#pragma once

#include "ui/graphiccontrol.h"

namespace ostrel::ui {

// A lowered line at the left edge: two pixels, the system's 3-D shadow then its highlight.
class TBevel final : public TGraphicControl {
    Q_OBJECT
public:
    explicit TBevel(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ostrel::ui
