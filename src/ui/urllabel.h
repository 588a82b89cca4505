#pragma once

#include "ui/label.h"

namespace ostrel::host {
class Shell;
}

namespace ostrel::ui {

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

} // namespace ostrel::ui
