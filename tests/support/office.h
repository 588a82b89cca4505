// The office network the network tests run in, set up before the engine starts: the proxy setting
// points at 127.0.0.1:kProxyPort, where a test starts squid (squid.h) when it wants one, and HOME
// holds the user's NSS certificate database (~/.pki/nssdb) with the office's CA, trusted, and the
// user's own certificate with its key.
#pragma once

#include <QString>
#include <QStringList>

namespace ostrel::testing {

inline constexpr int kProxyPort = 47221;

struct Office {
    QString caCertificate;                // PEM: the office's CA
    QString serverCertificate, serverKey; // PEM: for 127.0.0.1, issued by the CA
    QString userSubject;                  // of the user's certificate
    QString userIssuer;

    // The stand-in's arguments for servers with the office's certificate that ask for the user's,
    // each "role=port", after the arguments given first.
    QStringList AskingServers(QStringList arguments, const QStringList& servers) const
    {
        for (const QString& server : servers)
            arguments << QStringLiteral("--https") << server;
        return arguments << QStringLiteral("--cert") << serverCertificate << QStringLiteral("--key")
                         << serverKey << QStringLiteral("--client-ca") << caCertificate;
    }
};

// Makes the certificates with openssl and the database with NSS's certutil and pk12util, and sets
// http_proxy. False (with a message) when a tool failed.
bool PrepareOffice(const QString& home);
const Office& TheOffice();

// A smart card: a SoftHSM token "Kantoorpas" with PIN kCardPin, registered in the user's NSS database
// and holding a certificate of its own ("Agent de Vries (pas)") with its key. Before NSS starts,
// which is when the engine first meets https.
inline constexpr const char* kCardPin = "1234";
bool PrepareSmartCard(const QString& home);

// Writes a file that the office's servers may read as their own users (squid drops root).
bool WriteShared(const QString& path, const QByteArray& contents);
// Whether a server takes connections on 127.0.0.1:port.
bool Listening(int port);

// Runs one of the office's tools (in PATH or /usr/sbin) with input on its standard input: whether it
// ended well; what it said, on the error output when not.
bool RunTool(const QString& program, const QStringList& arguments, const QByteArray& input = {});

} // namespace ostrel::testing
