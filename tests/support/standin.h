// The stand-in portal, started by a test on the addresses the program was built with.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <optional>

namespace ostrel::testing {

class StandIn {
public:
    // extraArgs go before the role list (for example "--status", "gateway1=503"); the roles left
    // out are not served at all (their port refuses connections).
    explicit StandIn(const QStringList& extraArgs = {}, const QStringList& leftOut = {});
    ~StandIn();

    bool started() const { return started_; }
    // Every request the stand-in logged so far, oldest first, but the engine's own favicon requests.
    QList<QJsonObject> requests() const;
    // Those for one path.
    QList<QJsonObject> requestsTo(const QString& path) const;
    // Proves that what a test did has had its effect: after the action, the test asks for a marker
    // path by the same way the action's requests would go (and through the same waits); once the
    // marker has arrived after the first `since` requests, whatever the action set off has arrived
    // before it. The requests in between, or nothing if the marker did not come in 20 s.
    std::optional<QList<QJsonObject>> requestsBefore(const QString& marker, qsizetype since) const;
    // True once a hostile page has told the stand-in that it got to a stage of its script
    // ("looping", "alerts=20", "navigated", "opened", "shown"; the stand-in's README lists them).
    bool pageReached(const QString& stage) const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    bool started_ = false;
};

// Runs the event loop until condition() holds or the time is up; returns condition().
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// Runs the event loop until what was posted to it before this call has been handled.
void PassQueuedEvents();

// Origin of a role as compiled in, e.g. "http://127.0.0.1:47201".
QString originOf(const QString& role);
// An address on the portal's origin.
QString portal(const char* pathAndQuery);

} // namespace ostrel::testing
