// Where the start-up's time goes. Off by default; QT_LOGGING_RULES="ostrel.startup.debug=true"
// prints one line per step with the milliseconds since main() began (and, on the first line, the
// wall clock, so that a benchmark can line the steps up with what a server saw).
#pragma once

#include <QElapsedTimer>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcStartup)

namespace ostrel {

// Made first thing in main(), with its first step.
class StartupTrace {
public:
    explicit StartupTrace(const char* first);
    void Mark(const char* step) const;

private:
    QElapsedTimer sinceMain_;
};

} // namespace ostrel
