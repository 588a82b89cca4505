#include "host/guipause.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <vector>

namespace ostrel::host {

namespace {
int g_depth = 0;
std::vector<std::function<void()>> g_deferred;

void RunDeferred()
{
    if (g_depth > 0)
        return; // a new pause began first; its end schedules us again
    auto pending = std::move(g_deferred);
    g_deferred.clear();
    for (auto& fn : pending)
        fn();
}
void runPaused(QEventLoop& loop)
{
    ++g_depth;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    --g_depth;
    if (g_depth == 0 && !g_deferred.empty())
        QTimer::singleShot(0, qApp, &RunDeferred);
}
} // namespace

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

bool GuiPause::Active()
{
    return g_depth > 0;
}

void GuiPause::RunOutsidePause(std::function<void()> fn)
{
    if (g_depth == 0)
        fn();
    else
        g_deferred.push_back(std::move(fn));
}

} // namespace ostrel::host
