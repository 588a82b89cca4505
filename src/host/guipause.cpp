#include "host/guipause.h"

#include <QEventLoop>
#include <QTimer>

#include <utility>

namespace ostrel::host {

void GuiPause::runPaused(QEventLoop& loop)
{
    ++depth_;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    --depth_;
    if (depth_ == 0 && !deferred_.empty())
        QTimer::singleShot(0, &context_, [this] { runDeferred(); });
}

void GuiPause::runDeferred()
{
    if (depth_ > 0)
        return; // a new pause began first; its end schedules us again
    auto pending = std::exchange(deferred_, {});
    for (auto& fn : pending)
        fn();
}

void GuiPause::Sleep(int milliseconds)
{
    QEventLoop loop;
    // A coarse timer may end the pause up to 5 % early or late.
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    runPaused(loop);
}

bool GuiPause::WaitUntil(const std::function<bool()>& condition, int maxMilliseconds)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    deadline.start(maxMilliseconds);
    poll.start(10);
    runPaused(loop);
    return condition();
}

void GuiPause::RunOutsidePause(std::function<void()> fn)
{
    if (depth_ == 0)
        fn();
    else
        deferred_.push_back(std::move(fn));
}

} // namespace ostrel::host
