#pragma once

#include "ui/graphiccontrol.h"

#include <QColor>

namespace ostrel::ui {

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

} // namespace ostrel::ui
