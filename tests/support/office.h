// The office network the network tests run in, set up before the engine starts: the proxy setting
// points at 127.0.0.1:kProxyPort, where a test starts squid (squid.h) when it wants one, and HOME
// holds the user's NSS certificate database (~/.pki/nssdb) with the office's CA, trusted, and the
// user's own certificate with its key.
#pragma once

#include <QString>

namespace ostrel::testing {

inline constexpr int kProxyPort = 47221;

struct Office {
    QString caCertificate;                // PEM: the office's CA
    QString serverCertificate, serverKey; // PEM: for 127.0.0.1, issued by the CA
    QString userSubject;                  // of the user's certificate
    QString userIssuer;
};

// Makes the certificates with openssl and the database with NSS's certutil and pk12util, and sets
// http_proxy. False (with a message) when a tool failed.
bool PrepareOffice(const QString& home);
const Office& TheOffice();

} // namespace ostrel::testing
