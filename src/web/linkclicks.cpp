#include "web/linkclicks.h"

#include <algorithm>
#include <chrono>

namespace ostrel::web {

LinkClicks::LinkClicks(Clock clock) : clock_(std::move(clock))
{
    if (!clock_)
        clock_ = [] {
            using namespace std::chrono;
            return qint64(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
        };
}

bool LinkClicks::Clicked(const QUrl& url)
{
    return pair(navigated_, clicked_, url);
}

bool LinkClicks::Navigated(const QUrl& url)
{
    return pair(clicked_, navigated_, url);
}

// Takes the other half's entry for url if there is one still valid; otherwise waits as own.
bool LinkClicks::pair(Entries& other, Entries& own, const QUrl& url)
{
    const qint64 now = clock_();
    const auto stale = [now](const std::pair<QString, qint64>& entry) {
        return now - entry.second > kClickValidMs;
    };
    other.removeIf(stale);
    own.removeIf(stale);
    const QString address = url.toString(QUrl::FullyEncoded);
    const auto found = std::find_if(other.begin(), other.end(), [&](const std::pair<QString, qint64>& entry) {
        return entry.first == address;
    });
    if (found != other.end()) {
        other.erase(found);
        return true;
    }
    own.append({address, now});
    return false;
}

} // namespace ostrel::web
