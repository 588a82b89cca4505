// The user's choice of a certificate of their own for a server that asks for one to know who they
// are. Only what the engine offers is listed: on Linux the certificates with a private key in the
// user's NSS database (~/.pki/nssdb, where Debian's browsers keep them) that the server's list of
// issuers admits; on Windows those of the user's personal certificate store.
#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>

#include <optional>

class QString;
class QWidget;

namespace ostrel::web {

class CertificateChooser {
public:
    // server: "host:port"; sentBefore: the SHA-256 fingerprint of the certificate the user sent it
    // before, if any, which is chosen already when offered and valid; otherwise none is, so that
    // Enter alone never sends a guess. One that has expired or is not valid yet is shown greyed and
    // cannot be chosen. The index of the certificate to send, or nothing ("Annuleren": none).
    static std::optional<qsizetype> Choose(QWidget* parent, const QString& server,
                                           const QList<QSslCertificate>& offered,
                                           const QByteArray& sentBefore = {});
};

} // namespace ostrel::web
