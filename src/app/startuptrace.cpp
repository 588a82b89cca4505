#include "app/startuptrace.h"

#include <QDateTime>
#include <QElapsedTimer>

Q_LOGGING_CATEGORY(lcStartup, "ostrel.startup", QtWarningMsg)

namespace ostrel::app {

void StartupMark(const char* step)
{
    static QElapsedTimer sinceMain;
    if (!sinceMain.isValid()) {
        sinceMain.start();
        qCDebug(lcStartup, "%s at %lld ms since the epoch", step, QDateTime::currentMSecsSinceEpoch());
        return;
    }
    qCDebug(lcStartup, "%s: %lld ms", step, sinceMain.elapsed());
}

} // namespace ostrel::app
