// The application object. Every error that escapes an event of ours ends in its default exception
// handler, which shows the error box and lets the program run on.
#pragma once

#include <QApplication>

#include <exception>
#include <functional>

namespace ostrel::ui {

class TApplication final : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // Qt's code must never see our exceptions: every entry point of ours that Qt calls runs through
    // here (or through notify, the last line of defence).
    template <class F> static void Guarded(F&& f)
    {
        try {
            f();
        } catch (...) {
            HandleException(std::current_exception());
        }
    }

    // The default exception handler: one modal error box with the error's message.
    static void HandleException(const std::exception_ptr& error);

    bool notify(QObject* receiver, QEvent* event) override;
};

// The application-wide message hook: sees every event before its target does (OnMessage may set
// handled to keep it from the target).
class TApplicationEvents final : public QObject {
    Q_OBJECT
public:
    explicit TApplicationEvents(QObject* parent);
    ~TApplicationEvents() override;

    std::function<void(QObject* target, QEvent* event, bool& handled)> OnMessage;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Before the application object exists: what must be settled up front (browser engine, scaling).
void PrepareApplication();

} // namespace ostrel::ui
