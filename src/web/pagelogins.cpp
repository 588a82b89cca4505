#include "web/pagelogins.h"

#include "host/proxies.h"
#include "web/browserprofile.h"
#include "web/certificatechooser.h"
#include "web/logindialog.h"
#include "web/webpage.h"

#include <QAuthenticator>
#include <QWebEngineView>

namespace ostrel::web {

ProxyAttempts::Next ProxyAttempts::Asked(const QUrl& url, bool loginKnown)
{
    int& asks = asks_[url];
    ++asks;
    if (asks == 1) {
        if (loginKnown)
            return {Step::UseKnown};
        ++asks; // nothing to try silently: the first question is the first attempt
    }
    const int attempt = asks - 1;
    return attempt > kAttempts ? Next{Step::Refuse} : Next{Step::Ask, attempt};
}

PageLogins::PageLogins(WebPage& page) : QObject(&page), page_(page) {}

void PageLogins::LoadStarted()
{
    proxyAttempts_.Clear();
    proxyLogin_ = ProxyLogin::NotAsked;
    proxyName_.clear();
}

// Silent, a login request is cancelled at once: an empty answer would only be asked again. So is
// one that comes before the window is on the screen or in a pause (the start-up's POST meets both),
// to be asked again (questionPutOff): the engine wants its answer before the signal returns, and
// no question may come up before the main window. Otherwise it is a question of the page's, which
// the user can turn off when it comes again and again. The page is the one being loaded (a frame
// of it asks with another address), else the one shown.
void PageLogins::ForSite(const QUrl& url, QAuthenticator* authenticator)
{
    const QUrl page = page_.requestedUrl().isEmpty() ? page_.url() : page_.requestedUrl();
    if (!page_.silent && !page_.mayAsk()) {
        *authenticator = QAuthenticator();
        emit page_.questionPutOff(true);
        return;
    }
    const PageDialog::Answer answer =
        page_.Ask(url, LoginDialog::ForSite(url, page, *authenticator), WebPage::Kind::Login);
    if (!answer.accepted) {
        *authenticator = QAuthenticator();
        return;
    }
    authenticator->setUser(answer.input);
    authenticator->setPassword(answer.password);
}

// A proxy that wants a login first gets the one known for it (given this session, or in the proxy
// setting) without a question; then the user is asked (ProxyAttempts). Once the user cancelled or
// the attempts are used up, the rest of the load (the proxy's own refusal page among it) is refused
// at once, and so is what comes while the dialog is open: the engine wants the answer before the
// signal returns.
void PageLogins::ForProxy(const QUrl& url, QAuthenticator* authenticator, const QString& proxyHost)
{
    host::Proxies& proxies = page_.context().profile.proxies();
    // Where a script decides, the engine's word for which proxy asks is all there is here.
    host::ProxyRoute route = proxies.KnownRoute(url).value_or(host::ProxyRoute{});
    if (route.direct() || route.host.compare(proxyHost, Qt::CaseInsensitive) != 0)
        route = host::ProxyRoute{host::ProxyRoute::Kind::Http, proxyHost, 0, std::nullopt};
    proxyName_ = route.port != 0 ? route.name() : proxyHost;
    const auto earlier = proxies.LoginFor(route);
    const ProxyAttempts::Next next = proxyAttempts_.Asked(url, earlier.has_value());
    if (next.step == ProxyAttempts::Step::UseKnown) {
        authenticator->setUser(earlier->user);
        authenticator->setPassword(earlier->password);
        return;
    }
    if (next.step == ProxyAttempts::Step::Refuse)
        proxyLogin_ = ProxyLogin::Refused;
    if (page_.silent || proxyDialogOpen_ || proxyLogin_ != ProxyLogin::NotAsked) {
        *authenticator = QAuthenticator();
        return;
    }
    if (!page_.mayAsk()) {
        proxyLogin_ = ProxyLogin::Cancelled;
        *authenticator = QAuthenticator();
        emit page_.questionPutOff(true);
        return;
    }
    proxyDialogOpen_ = true;
    const bool given =
        LoginDialog::AskForProxy(page_.view(), proxyName_, next.attempt, ProxyAttempts::kAttempts,
                                 earlier ? earlier->user : QString(), authenticator);
    proxyDialogOpen_ = false;
    if (!given) {
        proxyLogin_ = ProxyLogin::Cancelled;
        *authenticator = QAuthenticator();
        return;
    }
    proxies.Remember(proxyHost, {authenticator->user(), authenticator->password()});
}

namespace {
QString serverOf(const QUrl& url)
{
    return url.host() + u':' + QString::number(url.port(443));
}
} // namespace

bool PageLogins::CertificateDeclined(const QUrl& url) const
{
    const auto& choices = page_.context().profile.certificateChoices();
    const auto choice = choices.constFind(serverOf(url));
    return choice != choices.cend() && !choice->has_value();
}

void PageLogins::ForgetDeclinedCertificates()
{
    page_.context().profile.certificateChoices().removeIf(
        [](const auto& choice) { return !choice.value().has_value(); });
}

// The certificate chosen for a server is sent again while it is offered, and none where the user
// sent none, until they try again (ForgetDeclinedCertificates): a page cannot bring the question
// back by asking again. Otherwise the user chooses; while silent none is sent. One that comes while
// no question may go to the user waits, unanswered, until one may (askHeldQuestions): the engine
// takes the answer later, and a "none" would stay with the server until the program ends.
void PageLogins::ChooseCertificate(QWebEngineClientCertificateSelection selection)
{
    const QString server = serverOf(selection.host());
    const QList<QSslCertificate> offered = selection.certificates();
    auto& choices = page_.context().profile.certificateChoices();
    if (const auto earlier = choices.constFind(server); earlier != choices.cend()) {
        if (!earlier->has_value()) {
            selection.selectNone();
            return;
        }
        if (offered.contains(**earlier)) {
            selection.select(**earlier);
            return;
        }
    }
    if (page_.silent || offered.isEmpty()) {
        selection.selectNone();
        return;
    }
    if (!page_.mayAsk()) {
        heldCertificates_.append(selection);
        if (heldCertificates_.size() == 1)
            page_.WhenMayAsk([this] { askHeldQuestions(); });
        emit page_.questionPutOff(false);
        return;
    }
    const BrowserProfile& profile = page_.context().profile;
    const std::optional<qsizetype> chosen =
        CertificateChooser::Choose(page_.view(), server, offered, profile.SentBefore(server));
    if (!chosen) {
        choices.insert(server, std::nullopt);
        selection.selectNone();
        return;
    }
    profile.RememberSent(server, offered.at(*chosen));
    choices.insert(server, offered.at(*chosen));
    selection.select(offered.at(*chosen));
}

// The questions that came while none could be asked and that the engine still waits for (a
// certificate for a server): over the window, now that it is there.
void PageLogins::askHeldQuestions()
{
    for (QWebEngineClientCertificateSelection& selection : std::exchange(heldCertificates_, {}))
        ChooseCertificate(selection);
}

} // namespace ostrel::web
