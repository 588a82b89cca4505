#include "squid.h"

#include "office.h"
#include "standin.h"

#include <QFile>
#include <QStandardPaths>

namespace ostrel::testing {

Squid::Squid(int port, Login login, const QString& realm, const QString& user, const QString& password,
             const QStringList& names)
{
    QFile(dir_.path())
        .setPermissions(QFile(dir_.path()).permissions() | QFileDevice::ReadOther | QFileDevice::ExeOther |
                        QFileDevice::WriteOther);
    const QString users = dir_.filePath(QStringLiteral("users"));
    QByteArray usersLine;
    if (login == Login::Basic) {
        QProcess hash; // basic_ncsa_auth takes Apache's MD5 form
        hash.start(QStringLiteral("openssl"), {QStringLiteral("passwd"), QStringLiteral("-apr1"), password});
        if (!hash.waitForFinished(10000) || hash.exitCode() != 0)
            return;
        usersLine = user.toUtf8() + ':' + hash.readAllStandardOutput().trimmed() + '\n';
    } else {
        usersLine = user.toUtf8() + ':' + password.toUtf8() + '\n'; // digest_file_auth: plain text
    }
    QByteArray hosts;
    for (const QString& name : names)
        hosts += "127.0.0.1 " + name.toUtf8() + '\n';
    const QByteArray helper =
        login == Login::Basic    ? "basic program /usr/lib/squid/basic_ncsa_auth " + users.toUtf8()
        : login == Login::Digest ? "digest program /usr/lib/squid/digest_file_auth " + users.toUtf8()
        // The service named: Debian 13's helper, given none, looks up the machine's name and stops.
        : login == Login::Kerberos
            ? QByteArray(
                  "negotiate program /usr/lib/squid/negotiate_kerberos_auth -s HTTP/127.0.0.1@KANTOOR.TEST")
            : QByteArray("ntlm program /usr/lib/squid/ntlm_fake_auth");
    const QByteArray realmLine = login == Login::NtlmAnyLogin || login == Login::Kerberos
                                     ? QByteArray()
                                     : "auth_param " +
                                           QByteArray(login == Login::Basic ? "basic" : "digest") +
                                           " realm " + realm.toUtf8() + "\n";
    const QByteArray access = login == Login::None
                                  ? QByteArray("http_access allow all\n")
                                  : "auth_param " + helper + "\n" + realmLine +
                                        "acl users proxy_auth REQUIRED\nhttp_access allow users\n"
                                        "http_access deny all\n";
    const QByteArray d = dir_.path().toUtf8();
    const QByteArray config =
        "http_port 127.0.0.1:" + QByteArray::number(port) + "\n" + "pid_filename " + d + "/squid.pid\n" +
        "cache_log " + d + "/cache.log\n" + "logformat lines %>Hs %un %rm %ru\n" + "access_log stdio:" + d +
        "/access.log lines\n" + "hosts_file " + d + "/hosts\n" + "coredump_dir " + d + "\n" +
        "cache deny all\nstrip_query_terms off\nnetdb_filename none\npinger_enable off\n"
        "shutdown_lifetime 0 seconds\n" +
        access;
    if (!WriteShared(users, usersLine) || !WriteShared(dir_.filePath(QStringLiteral("hosts")), hosts) ||
        !WriteShared(dir_.filePath(QStringLiteral("access.log")), {}) ||
        !WriteShared(dir_.filePath(QStringLiteral("cache.log")), {}) ||
        !WriteShared(dir_.filePath(QStringLiteral("squid.conf")), config))
        return;
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    // In /usr/sbin, which a user's PATH may leave out (Debian 13's root does).
    QString squid = QStandardPaths::findExecutable(QStringLiteral("squid"));
    if (squid.isEmpty())
        squid = QStandardPaths::findExecutable(QStringLiteral("squid"), {QStringLiteral("/usr/sbin")});
    process_.start(squid,
                   {QStringLiteral("-N"), QStringLiteral("-f"), dir_.filePath(QStringLiteral("squid.conf"))});
    started_ = process_.waitForStarted(5000) &&
               waitFor([&] { return process_.state() == QProcess::Running && Listening(port); },
                       std::chrono::seconds(15));
    if (!started_) {
        QFile log(dir_.filePath(QStringLiteral("cache.log")));
        if (log.open(QIODevice::ReadOnly))
            qWarning("squid did not start (%s): %s", qPrintable(squid), log.readAll().constData());
    }
}

Squid::~Squid()
{
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(2000);
    }
}

QStringList Squid::requests() const
{
    QFile log(dir_.filePath(QStringLiteral("access.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                         : QStringList();
}

} // namespace ostrel::testing
