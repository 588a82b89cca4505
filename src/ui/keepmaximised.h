// Under X, a window that holds a browser view forgets that it is maximised when it is first shown
// (and when Qt re-creates its native window for the view): the platform reports it restored a
// moment later. This puts the state back when that happens right after either event.
#pragma once

#include <QObject>

class QWidget;

namespace ostrel::ui {

class KeepMaximised final : public QObject {
    Q_OBJECT
public:
    // Watches the window, whose child it becomes.
    explicit KeepMaximised(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool restore_ = false; // a restore now is the platform's forgetting
};

} // namespace ostrel::ui
