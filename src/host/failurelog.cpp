#include "host/failurelog.h"

Q_LOGGING_CATEGORY(lcFailures, "ostrel.failures", QtCriticalMsg)

namespace ostrel::host {

// The program sets no other rules; QT_LOGGING_RULES still has the last word.
void EnableFailureLog()
{
    QLoggingCategory::setFilterRules(QStringLiteral("ostrel.failures.warning=true"));
}

} // namespace ostrel::host
