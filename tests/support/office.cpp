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

namespace {
// A certificate the office's CA issues (dir/name.pem, its key in dir/name.key), for the subject.
bool Issue(const QString& dir, const QString& name, const QString& subject, const QStringList& more = {})
{
    const QString file = dir + u'/' + name;
    return RunTool("openssl", {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", file + ".key", "-out",
                               file + ".csr", "-subj", subject}) &&
           RunTool("openssl",
                   QStringList{"x509", "-req", "-in", file + ".csr", "-out", file + ".pem", "-CA",
                               dir + "/ca.pem", "-CAkey", dir + "/ca.key", "-CAcreateserial", "-days", "30"} +
                       more);
}

// The user's certificate with its key, as the user's own file (name.p12, no password).
bool IssueToUser(const QString& dir, const QString& name, const QString& subject)
{
    const QString file = dir + u'/' + name;
    return Issue(dir, name, subject) &&
           RunTool("openssl", {"pkcs12", "-export", "-in", file + ".pem", "-inkey", file + ".key", "-out",
                               file + ".p12", "-passout", "pass:", "-name", name});
}
} // namespace

bool PrepareOffice(const QString& home)
{
    const QString dir = home + u"/office", database = u"sql:" + home + u"/.pki/nssdb";
    if (!QDir().mkpath(dir) || !QDir().mkpath(home + u"/.pki/nssdb") ||
        !WriteShared(dir + u"/server.ext", "subjectAltName=IP:127.0.0.1\n"))
        return false;
    g_office = {dir + u"/ca.pem", dir + u"/server.pem", dir + u"/server.key",
                QStringLiteral("Agent de Vries"), QStringLiteral("Kantoor Test CA")};
    const bool made =
        RunTool("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", dir + "/ca.key",
                            "-out", dir + "/ca.pem", "-days", "30", "-subj", "/CN=Kantoor Test CA"}) &&
        Issue(dir, "server", "/CN=127.0.0.1", {"-extfile", dir + "/server.ext"}) &&
        IssueToUser(dir, "user", "/CN=Agent de Vries/O=Kantoor") &&
        RunTool("certutil", {"-N", "-d", database, "--empty-password"}) &&
        RunTool("pk12util", {"-i", dir + "/user.p12", "-d", database, "-W", ""}) &&
        RunTool("certutil", {"-A", "-d", database, "-n", "office", "-t", "C,,", "-i", dir + "/ca.pem"});
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
    if (!QDir().mkpath(dir + u"/tokens") ||
        !WriteShared(dir + u"/softhsm2.conf", "directories.tokendir = " + (dir + u"/tokens").toUtf8()))
        return false;
    qputenv("SOFTHSM2_CONF", (dir + u"/softhsm2.conf").toUtf8());
    return IssueToUser(dir, "card", "/CN=Agent de Vries (pas)/O=Kantoor") &&
           RunTool("softhsm2-util", {"--init-token", "--free", "--label", "Kantoorpas", "--pin", kCardPin,
                                     "--so-pin", "87654321"}) &&
           RunTool("modutil", {"-dbdir", database, "-add", "Kantoorpas", "-libfile",
                               "/usr/lib/softhsm/libsofthsm2.so", "-force"}) &&
           RunTool("pk12util",
                   {"-i", dir + "/card.p12", "-d", database, "-h", "Kantoorpas", "-K", kCardPin, "-W", ""});
}

const Office& TheOffice()
{
    return g_office;
}

} // namespace ostrel::testing
