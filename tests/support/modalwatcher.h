// Answers the program's modal dialogs in tests: every 50 ms, the open modal dialog of the given
// kind is handed to a function (which usually closes it).
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <functional>

namespace ostrel::testing {

template <class Dialog = QWidget>
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(Dialog*)> onDialog)
    {
        QObject::connect(&timer_, &QTimer::timeout, [onDialog = std::move(onDialog)] {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget()))
                onDialog(dialog);
        });
        timer_.start(50);
    }
    void stop() { timer_.stop(); }

private:
    QTimer timer_;
};

// Counts the dialogs that open, and closes each one.
struct DialogRejecter {
    int count = 0;
    ModalWatcher<QDialog> watcher{[this](QDialog* dialog) {
        ++count;
        dialog->reject();
    }};
};

} // namespace ostrel::testing
