#include "standin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QThread>

#include <sys/prctl.h>

#include <algorithm>
#include <csignal>
#include <memory>

namespace ostrel::testing {

namespace {
QStringList roleArgs()
{
    return QString::fromUtf8(OSTREL_STANDIN_ARGS).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}
} // namespace

StandIn::StandIn(const QStringList& extraArgs, const QStringList& leftOut)
{
    QStringList roles;
    for (const QString& role : roleArgs())
        if (!leftOut.contains(role.section(QLatin1Char('='), 0, 0)))
            roles.append(role);
    process_.setProgram(QString::fromUtf8(OSTREL_STANDIN_EXE));
    process_.setArguments(QStringList{QStringLiteral("--log"), dir_.filePath(QStringLiteral("requests.jsonl"))} +
                          extraArgs + roles);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // It goes with the test process, however that ends: left over, it would hold the runner's
    // pipe (its standard error) open, and a crash would read as a timeout.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process_.start();
    started_ = process_.waitForStarted(5000) && waitFor([this] {
                   return process_.canReadLine() && process_.readLine().startsWith("ostrel-standin ready");
               }, std::chrono::seconds(10));
}

StandIn::~StandIn()
{
    // OSTREL_STANDIN_DUMP=1 prints what the stand-in received, for reading a test's traffic.
    if (qEnvironmentVariableIsSet("OSTREL_STANDIN_DUMP"))
        for (const QJsonObject& request : requests())
            qInfo("stand-in: %lld %s %d %s UA=%s body=%s", request[u"t_ms"].toInteger(),
                  qPrintable(request[u"method"].toString()), request[u"port"].toInt(),
                  qPrintable(request[u"target"].toString()),
                  qPrintable(request[u"headers"][u"User-Agent"].toString().left(10)),
                  qPrintable(request[u"body"].toString()));
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(2000);
    }
}

QList<QJsonObject> StandIn::requests() const
{
    QList<QJsonObject> out;
    QFile file(dir_.filePath(QStringLiteral("requests.jsonl")));
    if (!file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.trimmed().isEmpty()) {
            const QJsonObject request = QJsonDocument::fromJson(line).object();
            if (request[u"path"].toString() != u"/favicon.ico")
                out.append(request);
        }
    return out;
}

QList<QJsonObject> StandIn::requestsTo(const QString& path) const
{
    QList<QJsonObject> found;
    for (const QJsonObject& request : requests())
        if (request[u"path"].toString() == path)
            found.append(request);
    return found;
}

std::optional<QList<QJsonObject>> StandIn::requestsBefore(const QString& marker, qsizetype since) const
{
    std::optional<QList<QJsonObject>> between;
    waitFor([&] {
        const QList<QJsonObject> all = requests();
        for (qsizetype i = since; i < all.size(); ++i)
            if (all[i][u"path"].toString() == marker) {
                between = all.mid(since, i - since);
                return true;
            }
        return false;
    }, std::chrono::seconds(20));
    return between;
}

bool StandIn::pageReached(const QString& stage) const
{
    return waitFor([&] {
        const QList<QJsonObject> told = requestsTo(QStringLiteral("/hostile/reached"));
        return std::any_of(told.begin(), told.end(),
                           [&](const QJsonObject& request) { return request[u"query"].toString() == stage; });
    }, std::chrono::seconds(20));
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeout.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void PassQueuedEvents()
{
    const auto passed = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(QCoreApplication::instance(), [passed] { *passed = true; }, Qt::QueuedConnection);
    waitFor([&] { return *passed; }, std::chrono::seconds(10));
}

QString originOf(const QString& role)
{
    const QString prefix = role + QLatin1Char('=');
    for (const QString& arg : roleArgs())
        if (arg.startsWith(prefix))
            return arg.mid(prefix.size());
    return {};
}

QString portal(const char* pathAndQuery)
{
    return originOf(QStringLiteral("portal")) + QLatin1String(pathAndQuery);
}

} // namespace ostrel::testing
