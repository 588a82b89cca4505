#include "kdc.h"

#include "office.h"
#include "standin.h"

#include <QFile>

namespace ostrel::testing {

using namespace Qt::Literals::StringLiterals;

Kdc::Kdc(int port)
{
    const QByteArray d = dir_.path().toUtf8(), p = QByteArray::number(port), realm("KANTOOR.TEST");
    // One file for the KDC and its clients. Names stay as given (no reverse lookup of 127.0.0.1), so
    // the proxy's service is HTTP/127.0.0.1.
    const QByteArray config = "[libdefaults]\ndefault_realm = " + realm +
                              "\ndns_lookup_realm = false\ndns_lookup_kdc = false\nrdns = false\n"
                              "dns_canonicalize_hostname = false\n[realms]\n" +
                              realm + " = {\n kdc = 127.0.0.1:" + p + "\n kdc_ports = " + p +
                              "\n kdc_tcp_ports = " + p + "\n database_name = " + d +
                              "/principal\n key_stash_file = " + d + "/stash\n acl_file = " + d +
                              "/kadm5.acl\n}\n";
    if (!WriteShared(dir_.filePath(u"krb5.conf"_s), config) ||
        !WriteShared(dir_.filePath(u"kadm5.acl"_s), {}))
        return;
    for (const char* variable : {"KRB5_CONFIG", "KRB5_KDC_PROFILE"})
        qputenv(variable, QByteArray(d + "/krb5.conf"));
    qputenv("KRB5CCNAME", QByteArray("FILE:" + d + "/ticket"));
    qputenv("KRB5_KTNAME", QByteArray("FILE:" + d + "/proxy.keytab"));
    const auto admin = [](const QString& query) {
        return RunTool(QStringLiteral("kadmin.local"), {QStringLiteral("-q"), query});
    };
    if (!RunTool(QStringLiteral("kdb5_util"),
                 {QStringLiteral("create"), QStringLiteral("-s"), QStringLiteral("-r"),
                  QString::fromLatin1(realm), QStringLiteral("-P"), QStringLiteral("meester")}) ||
        !admin(QStringLiteral("addprinc -pw geheim agent")) ||
        !admin(QStringLiteral("addprinc -randkey HTTP/127.0.0.1")) ||
        !admin(u"ktadd -k " + dir_.filePath(QStringLiteral("proxy.keytab")) + u" HTTP/127.0.0.1"))
        return;
    // Squid's helper reads the keytab as squid's own user.
    QFile(dir_.filePath(QStringLiteral("proxy.keytab")))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    QFile(dir_.path())
        .setPermissions(QFile(dir_.path()).permissions() | QFileDevice::ReadOther | QFileDevice::ExeOther);
    kdc_.setProcessChannelMode(QProcess::ForwardedChannels);
    kdc_.start(QStringLiteral("/usr/sbin/krb5kdc"),
               {QStringLiteral("-n"), QStringLiteral("-P"), dir_.filePath(QStringLiteral("kdc.pid"))});
    started_ =
        kdc_.waitForStarted(5000) && waitFor([&] { return Listening(port); }, std::chrono::seconds(15));
}

Kdc::~Kdc()
{
    kdc_.terminate();
    if (!kdc_.waitForFinished(5000)) {
        kdc_.kill();
        kdc_.waitForFinished(2000);
    }
    for (const char* variable : {"KRB5_CONFIG", "KRB5_KDC_PROFILE", "KRB5CCNAME", "KRB5_KTNAME"})
        qunsetenv(variable);
}

bool Kdc::Kinit()
{
    return RunTool(QStringLiteral("kinit"), {QStringLiteral("agent")}, "geheim\n");
}

} // namespace ostrel::testing
