#pragma once

#include "web/pagedialog.h"

#include <QString>

#include <optional>

class QAuthenticator;
class QUrl;
class QWidget;

namespace ostrel::web {

// Asks for a user name and password for a site or a proxy that wants HTTP authentication. The
// question says who asks (scheme, host and port, and the asker's own words), when it is another
// address than the page's, and when the answer would go unencrypted; Enter signs in, Escape cancels.
// A site's is a question of the page's, over it (WebPage::Ask); the proxy's, of the user's network,
// is a dialog of the program's.
class LoginDialog {
public:
    // url: the address that asks; page: the page's own; authenticator: what it says of itself.
    static PageDialog::Question ForSite(const QUrl& url, const QUrl& page, const QAuthenticator& authenticator);
    // proxy: "host:port" of the proxy that asks; attempt: 1 for the first time for this request,
    // more once the proxy refused what was given; user: the name given last, filled in.
    static bool AskForProxy(QWidget* parent, const QString& proxy, int attempt, int attempts,
                            const QString& user, QAuthenticator* authenticator);
    // The PIN of a smart card (token: its label), over the active window; attempt: 1, more once the
    // card refused what was given. Nullopt: "Annuleren".
    static std::optional<QString> AskForPin(const QString& token, int attempt);
};

} // namespace ostrel::web
