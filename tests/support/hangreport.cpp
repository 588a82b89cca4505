#include "hangreport.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMetaObject>
#include <QWidget>

#include <execinfo.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ostrel::testing {

namespace {

void say(const char* text)
{
    [[maybe_unused]] const auto written = write(STDERR_FILENO, text, std::strlen(text));
}

void printStack(const char* title)
{
    void* frames[64];
    const int depth = backtrace(frames, 64);
    say(title);
    backtrace_symbols_fd(frames, depth, STDERR_FILENO);
}

// The GUI thread prints its own stack when asked by this signal.
void printGuiStack(int)
{
    printStack("stack of the GUI thread:\n");
}

// A crash prints the crashing thread's stack, then takes its course.
void printCrash(int signal)
{
    printStack("the test process crashed; its stack:\n");
    std::raise(signal); // the handler was reset: as if there were none
}

// On the GUI thread: what is on the screen, modal dialogs closed.
void reportWindows()
{
    ADD_FAILURE() << "the test hangs; the windows open:";
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        QStringList texts;
        for (const QLabel* label : window->findChildren<QLabel*>())
            if (label->isVisibleTo(window) && !label->text().isEmpty())
                texts << label->text();
        std::fprintf(stderr, "  %s \"%s\"%s: %s\n", window->metaObject()->className(),
                     qPrintable(window->windowTitle()), window->isModal() ? " (modal)" : "",
                     qPrintable(texts.join(QStringLiteral(" | "))));
    }
    while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        modal->reject();
}

} // namespace

HangReport::HangReport(std::chrono::seconds after) : after_(after), gui_(pthread_self())
{
    void* warm[1];
    backtrace(warm, 1); // loads what it needs now, not in a signal handler
    std::signal(SIGUSR2, printGuiStack);
    struct sigaction crash = {};
    crash.sa_handler = printCrash;
    crash.sa_flags = SA_RESETHAND;
    for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT})
        sigaction(signal, &crash, nullptr);
    ::testing::UnitTest::GetInstance()->listeners().Append(this);
    watcher_ = std::thread([this] { watch(); });
}

HangReport::~HangReport()
{
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    watcher_.join();
    ::testing::UnitTest::GetInstance()->listeners().Release(this);
}

void HangReport::step()
{
    {
        const std::lock_guard lock(mutex_);
        ++test_;
    }
    changed_.notify_all();
}

void HangReport::watch()
{
    std::unique_lock lock(mutex_);
    while (!ending_) {
        if (test_ % 2 == 0) {
            changed_.wait(lock);
            continue;
        }
        const auto started = test_;
        if (changed_.wait_for(lock, after_, [&] { return ending_ || test_ != started; }))
            continue;
        lock.unlock();
        say("the test runs for longer than it may\n");
        const auto answered = std::make_shared<std::atomic_bool>(false);
        QMetaObject::invokeMethod(qApp, [this, answered, started] {
            *answered = true;
            const std::unique_lock still(mutex_);
            if (test_ == started)
                reportWindows(); // on this thread, which alone ends a test
        });
        std::this_thread::sleep_for(std::chrono::seconds(5));
        if (!*answered) {
            std::fprintf(stderr, "the test hangs and the GUI thread does not answer\n");
            pthread_kill(gui_, SIGUSR2);
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const std::lock_guard still(mutex_);
            if (test_ == started)
                std::abort(); // the signal may have woken a sleeping test, which then ends
        }
        lock.lock(); // and if the test is still not over after as long again, once more
    }
}

} // namespace ostrel::testing
