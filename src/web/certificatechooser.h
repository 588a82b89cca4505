// The user's choice of a certificate of their own for a server that asks for one to know who they
// are. Only what the engine offers is listed: on Linux the certificates with a private key in the
// user's NSS database (~/.pki/nssdb, where Debian's browsers keep them) that the server's list of
// issuers admits; on Windows those of the user's personal certificate store.
#pragma once

#include <QList>
#include <QSslCertificate>

#include <optional>

class QString;
class QWidget;

namespace ostrel::web {

class CertificateChooser {
public:
    // server: "host:port". The index of the certificate to send, or nothing ("Annuleren": none).
    static std::optional<qsizetype> Choose(QWidget* parent, const QString& server,
                                           const QList<QSslCertificate>& offered);
};

} // namespace ostrel::web
