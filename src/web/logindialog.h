#pragma once

class QAuthenticator;
class QUrl;
class QWidget;

namespace ostrel::web {

// Asks for a user name and password for a site that wants HTTP authentication.
class LoginDialog {
public:
    // True when the user gave them (filled into authenticator), false when cancelled.
    static bool Ask(QWidget* parent, const QUrl& url, QAuthenticator* authenticator);
};

} // namespace ostrel::web
