#include "office.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>

#include <cstdio>

namespace ostrel::testing {

namespace {
Office g_office;

} // namespace

bool WriteShared(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() &&
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                               QFileDevice::ReadOther | QFileDevice::WriteOther);
}

bool Listening(int port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    return socket.waitForConnected(200);
}

bool RunTool(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    // Some are in /usr/sbin, which a user's PATH may leave out (Debian 13's root does).
    QString found = QStandardPaths::findExecutable(program);
    process.start(found.isEmpty() ? QStandardPaths::findExecutable(program, {QStringLiteral("/usr/sbin")})
                                  : found,
                  arguments);
    process.write(input);
    process.closeWriteChannel();
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return true;
    std::fprintf(stderr, "office: %s %s failed:\n%s\n", qPrintable(program), qPrintable(arguments.join(u' ')),
                 process.readAll().constData());
    return false;
}

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
        RunTool(openssl, QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + newKey +
                             QStringList{QStringLiteral("-keyout"), file("ca.key"), QStringLiteral("-out"),
                                         file("ca.pem"), QStringLiteral("-days"), QStringLiteral("30"),
                                         QStringLiteral("-subj"), QStringLiteral("/CN=Kantoor Test CA")}) &&
        RunTool(openssl, QStringList{QStringLiteral("req")} + newKey +
                             QStringList{QStringLiteral("-keyout"), file("server.key"),
                                         QStringLiteral("-out"), file("server.csr"), QStringLiteral("-subj"),
                                         QStringLiteral("/CN=127.0.0.1")}) &&
        RunTool(openssl, QStringList{QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                                     file("server.csr"), QStringLiteral("-out"), file("server.pem"),
                                     QStringLiteral("-extfile"), file("server.ext")} +
                             sign) &&
        RunTool(openssl, QStringList{QStringLiteral("req")} + newKey +
                             QStringList{QStringLiteral("-keyout"), file("user.key"), QStringLiteral("-out"),
                                         file("user.csr"), QStringLiteral("-subj"),
                                         QStringLiteral("/CN=Agent de Vries/O=Kantoor")}) &&
        RunTool(openssl, QStringList{QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                                     file("user.csr"), QStringLiteral("-out"), file("user.pem")} +
                             sign) &&
        RunTool(openssl, {QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-in"),
                          file("user.pem"), QStringLiteral("-inkey"), file("user.key"),
                          QStringLiteral("-out"), file("user.p12"), QStringLiteral("-passout"),
                          QStringLiteral("pass:"), QStringLiteral("-name"), QStringLiteral("agent")}) &&
        RunTool(QStringLiteral("certutil"), {QStringLiteral("-N"), QStringLiteral("-d"), u"sql:" + database,
                                             QStringLiteral("--empty-password")}) &&
        RunTool(QStringLiteral("pk12util"), {QStringLiteral("-i"), file("user.p12"), QStringLiteral("-d"),
                                             u"sql:" + database, QStringLiteral("-W"), QString()}) &&
        RunTool(QStringLiteral("certutil"),
                {QStringLiteral("-A"), QStringLiteral("-d"), u"sql:" + database, QStringLiteral("-n"),
                 QStringLiteral("office"), QStringLiteral("-t"), QStringLiteral("C,,"), QStringLiteral("-i"),
                 file("ca.pem")});
    if (!made)
        return false;
    for (const char* variable :
         {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
        qunsetenv(variable);
    qputenv("http_proxy", QByteArray("http://127.0.0.1:" + QByteArray::number(kProxyPort)));
    return true;
}

bool PrepareSmartCard(const QString& home)
{
    const QString dir = home + u"/office", database = u"sql:" + home + u"/.pki/nssdb";
    const auto f = [&](const char* name) -> QString { return dir + u'/' + QLatin1String(name); };
    if (!QDir().mkpath(f("tokens")) ||
        !WriteShared(f("softhsm2.conf"), "directories.tokendir = " + f("tokens").toUtf8()))
        return false;
    qputenv("SOFTHSM2_CONF", f("softhsm2.conf").toUtf8());
    return RunTool("openssl", {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", f("card.key"), "-out",
                               f("card.csr"), "-subj", "/CN=Agent de Vries (pas)/O=Kantoor"}) &&
           RunTool("openssl", {"x509", "-req", "-in", f("card.csr"), "-out", f("card.pem"), "-CA",
                               f("ca.pem"), "-CAkey", f("ca.key"), "-CAcreateserial", "-days", "30"}) &&
           RunTool("openssl", {"pkcs12", "-export", "-in", f("card.pem"), "-inkey", f("card.key"), "-out",
                               f("card.p12"), "-passout", "pass:", "-name", "pas"}) &&
           RunTool("softhsm2-util", {"--init-token", "--free", "--label", "Kantoorpas", "--pin", kCardPin,
                                     "--so-pin", "87654321"}) &&
           RunTool("modutil", {"-dbdir", database, "-add", "Kantoorpas", "-libfile",
                               "/usr/lib/softhsm/libsofthsm2.so", "-force"}) &&
           RunTool("pk12util",
                   {"-i", f("card.p12"), "-d", database, "-h", "Kantoorpas", "-K", kCardPin, "-W", ""});
}

const Office& TheOffice()
{
    return g_office;
}

} // namespace ostrel::testing
