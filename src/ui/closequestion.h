// What would be lost if the window closed now (downloads still coming in) is asked about first: a
// close the user does not confirm closes nothing.
#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace ostrel::ui {

class CloseQuestion final : public QObject {
    Q_OBJECT
public:
    // Watches the window, whose child it becomes; mayClose asks the user where it must.
    CloseQuestion(QWidget* window, std::function<bool()> mayClose);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    std::function<bool()> mayClose_;
};

} // namespace ostrel::ui
