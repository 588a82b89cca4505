#include "startuptrace.h"

#include <QDateTime>

Q_LOGGING_CATEGORY(lcStartup, "ostrel.startup", QtWarningMsg)

namespace ostrel {

StartupTrace::StartupTrace(const char* first)
{
    sinceMain_.start();
    qCDebug(lcStartup, "%s at %lld ms since the epoch", first, QDateTime::currentMSecsSinceEpoch());
}

void StartupTrace::Mark(const char* step) const
{
    qCDebug(lcStartup, "%s: %lld ms", step, sinceMain_.elapsed());
}

} // namespace ostrel
