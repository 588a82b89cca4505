#include "office.h"

#include <QDir>
#include <QProcess>

#include <cstdio>

namespace ostrel::testing {

namespace {
Office g_office;

bool Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return true;
    std::fprintf(stderr, "office: %s %s failed:\n%s\n", qPrintable(program), qPrintable(arguments.join(u' ')),
                 process.readAll().constData());
    return false;
}
} // namespace

bool PrepareOffice(const QString& home)
{
    const QDir dir(home);
    const QString certificates = dir.filePath(QStringLiteral("office"));
    const QString database = dir.filePath(QStringLiteral(".pki/nssdb"));
    if (!QDir().mkpath(certificates) || !QDir().mkpath(database))
        return false;
    const auto file = [&](const char* name) -> QString { return certificates + u'/' + QLatin1String(name); };
    g_office = {file("ca.pem"), file("server.pem"), file("server.key"), QStringLiteral("Agent de Vries"),
                QStringLiteral("Kantoor Test CA")};
    const QString openssl = QStringLiteral("openssl");
    const QStringList newKey{QStringLiteral("-newkey"), QStringLiteral("rsa:2048"), QStringLiteral("-nodes")};
    const QStringList sign{QStringLiteral("-CA"),
                           file("ca.pem"),
                           QStringLiteral("-CAkey"),
                           file("ca.key"),
                           QStringLiteral("-CAcreateserial"),
                           QStringLiteral("-days"),
                           QStringLiteral("30")};
    QFile extensions(file("server.ext"));
    if (!extensions.open(QIODevice::WriteOnly) || extensions.write("subjectAltName=IP:127.0.0.1\n") < 0)
        return false;
    extensions.close();
    const bool made =
        Run(openssl, QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + newKey +
                         QStringList{QStringLiteral("-keyout"), file("ca.key"), QStringLiteral("-out"),
                                     file("ca.pem"), QStringLiteral("-days"), QStringLiteral("30"),
                                     QStringLiteral("-subj"), QStringLiteral("/CN=Kantoor Test CA")}) &&
        Run(openssl,
            QStringList{QStringLiteral("req")} + newKey +
                QStringList{QStringLiteral("-keyout"), file("server.key"), QStringLiteral("-out"),
                            file("server.csr"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")}) &&
        Run(openssl, QStringList{QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                                 file("server.csr"), QStringLiteral("-out"), file("server.pem"),
                                 QStringLiteral("-extfile"), file("server.ext")} +
                         sign) &&
        Run(openssl, QStringList{QStringLiteral("req")} + newKey +
                         QStringList{QStringLiteral("-keyout"), file("user.key"), QStringLiteral("-out"),
                                     file("user.csr"), QStringLiteral("-subj"),
                                     QStringLiteral("/CN=Agent de Vries/O=Kantoor")}) &&
        Run(openssl, QStringList{QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                                 file("user.csr"), QStringLiteral("-out"), file("user.pem")} +
                         sign) &&
        Run(openssl, {QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-in"),
                      file("user.pem"), QStringLiteral("-inkey"), file("user.key"), QStringLiteral("-out"),
                      file("user.p12"), QStringLiteral("-passout"), QStringLiteral("pass:"),
                      QStringLiteral("-name"), QStringLiteral("agent")}) &&
        Run(QStringLiteral("certutil"), {QStringLiteral("-N"), QStringLiteral("-d"), u"sql:" + database,
                                         QStringLiteral("--empty-password")}) &&
        Run(QStringLiteral("pk12util"), {QStringLiteral("-i"), file("user.p12"), QStringLiteral("-d"),
                                         u"sql:" + database, QStringLiteral("-W"), QString()}) &&
        Run(QStringLiteral("certutil"), {QStringLiteral("-A"), QStringLiteral("-d"), u"sql:" + database,
                                         QStringLiteral("-n"), QStringLiteral("office"), QStringLiteral("-t"),
                                         QStringLiteral("C,,"), QStringLiteral("-i"), file("ca.pem")});
    if (!made)
        return false;
    for (const char* variable :
         {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
        qunsetenv(variable);
    qputenv("http_proxy", QByteArray("http://127.0.0.1:" + QByteArray::number(kProxyPort)));
    return true;
}

const Office& TheOffice()
{
    return g_office;
}

} // namespace ostrel::testing
