// What a page's loads ask of the user besides the page itself: a server's login, a proxy's login,
// a client certificate. Each is asked over the page's window, never while the page is silent, and
// kept back while no question may go to the user (WebPage::questionPutOff).
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QUrl>
#include <QWebEngineClientCertificateSelection>

#include <QAuthenticator>

namespace ostrel::web {

class WebPage;

// How often a proxy that wants a login is answered within one load, per address: its first request
// gets the login known for the proxy, without a question; then the user is asked, up to kAttempts
// times; after that, it is refused.
class ProxyAttempts {
public:
    static constexpr int kAttempts = 3;
    enum class Step { UseKnown, Ask, Refuse };
    struct Next {
        Step step;
        int attempt = 0; // for Ask: which question this is, 1 to kAttempts
    };
    // The proxy asks for a login for url; loginKnown: one is known for the proxy.
    Next Asked(const QUrl& url, bool loginKnown);
    // A new load: every address starts afresh.
    void Clear() { asks_.clear(); }

private:
    QHash<QUrl, int> asks_; // the proxy's requests per address in this load, plus one when none was known
};

class PageLogins final : public QObject {
    Q_OBJECT
public:
    explicit PageLogins(WebPage& page);

    // How the proxy logins of the page's current load went: a page the proxy refused (its 407) is
    // explained by our error page with this.
    enum class ProxyLogin { NotAsked, Cancelled, Refused };
    ProxyLogin proxyLogin() const { return proxyLogin_; }
    // The proxy that asked for a login in the current load ("host:port"), if one did.
    const QString& proxyName() const { return proxyName_; }

    void ForSite(const QUrl& url, QAuthenticator* authenticator);
    void ForProxy(const QUrl& url, QAuthenticator* authenticator, const QString& proxyHost);
    void ChooseCertificate(QWebEngineClientCertificateSelection selection);
    // The page has started a load of its own: its proxy asks afresh.
    void LoadStarted();

    // Whether the user sent no certificate to this server when it asked for one, last time.
    bool CertificateDeclined(const QUrl& url) const;
    // The user tries again: servers they sent no certificate get the question again.
    void ForgetDeclinedCertificates();

private:
    void askHeldQuestions();

    WebPage& page_;
    ProxyAttempts proxyAttempts_;
    bool proxyDialogOpen_ = false;
    ProxyLogin proxyLogin_ = ProxyLogin::NotAsked;
    QString proxyName_;
    QList<QWebEngineClientCertificateSelection> heldCertificates_; // asked for before the user could be
};

} // namespace ostrel::web
