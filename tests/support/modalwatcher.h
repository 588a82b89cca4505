// Answers the program's dialogs in tests: every 50 ms, the open modal dialog of the given kind, or
// the dialog a page shows over itself, is handed to a function (which usually closes it). A dialog
// holds the engine in a loop of its own until it is answered, so the answer comes from a timer,
// as the user's input would.
#pragma once

#include "web/pagedialog.h"

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QPointer>
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

// Each dialog that a page opens over the view, once.
struct PageDialogWatcher {
    QTimer timer;
    std::function<void(web::PageDialog*)> answer;
    QList<QPointer<web::PageDialog>> seen;
    explicit PageDialogWatcher(const QWidget* view, std::function<void(web::PageDialog*)> onDialog = {})
        : answer(std::move(onDialog))
    {
        QObject::connect(&timer, &QTimer::timeout, [this, view] {
            for (web::PageDialog* dialog : web::ViewOverlay::Over<web::PageDialog>(view))
                if (dialog->isVisible() && !seen.contains(dialog)) {
                    seen << dialog;
                    if (answer)
                        answer(dialog);
                }
        });
        timer.start(50);
    }
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
