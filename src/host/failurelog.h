// Failures the program gets over without telling the user: a store it cannot write, a picture it
// cannot decode, a file it keeps aside. They go to the "ostrel.failures" log, which is off unless
// the debug switch (or QT_LOGGING_RULES="ostrel.failures.warning=true") turns it on.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcFailures)

namespace ostrel::host {

// Turns the failure log on (the debug switch does).
void EnableFailureLog();

} // namespace ostrel::host
