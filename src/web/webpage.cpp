#include "web/webpage.h"

#include "host/endprocess.h"
#include "host/failurelog.h"
#include "host/guipause.h"
#include "host/proxyroute.h"
#include "web/blockedwindowbar.h"
#include "web/certificatechooser.h"
#include "web/errorpage.h"
#include "web/logindialog.h"
#include "web/outsidelinks.h"
#include "web/pagedialog.h"
#include "web/popupwindow.h"

#include <QAuthenticator>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QWebEnginePermission>
#endif
#include <QUuid>
#include <QWebEngineCertificateError>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>
#include <utility>

namespace ostrel::web {

bool IsWebScheme(const QUrl& url)
{
    static const QStringList kSchemes{
        QStringLiteral("http"),     QStringLiteral("https"),       QStringLiteral("file"),
        QStringLiteral("data"),     QStringLiteral("blob"),        QStringLiteral("about"),
        QStringLiteral("qrc"),      QStringLiteral("view-source"), QStringLiteral("chrome"),
        QStringLiteral("devtools"), QStringLiteral("javascript")};
    return kSchemes.contains(url.scheme());
}

namespace {

// The engine asks before a page is left through javaScriptConfirm, with this text of its own.
bool isLeaveQuestion(const QString& message)
{
    return message ==
           QCoreApplication::translate(
               "QWebEnginePage",
               "Are you sure you want to leave this page? Changes that you made may not be saved.");
}

QString sameAddress(const QUrl& url)
{
    return url.toString(QUrl::FullyEncoded);
}

// Drops the entries older than ms.
void forgetOlder(QList<std::pair<QUrl, QElapsedTimer>>& entries, int ms)
{
    entries.removeIf(
        [ms](const std::pair<QUrl, QElapsedTimer>& entry) { return entry.second.elapsed() > ms; });
}

// Takes the entry for url out of the list; false when there is none.
bool take(QList<std::pair<QUrl, QElapsedTimer>>& entries, const QUrl& url)
{
    const auto found =
        std::find_if(entries.begin(), entries.end(), [&](const std::pair<QUrl, QElapsedTimer>& entry) {
            return sameAddress(entry.first) == sameAddress(url);
        });
    if (found == entries.end())
        return false;
    entries.erase(found);
    return true;
}

} // namespace

// A JavaScript string literal holding text, escaped by the JSON writer.
QString JsString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

namespace {
QWebEngineProfile* g_profile = nullptr;
}

// One persistent profile for the process (cookies and HTTP cache on disk; Qt's default profile is
// off the record). Two profiles on the same storage would fight over its lock, so views share it.
// It lives until the application object goes, after every page.
QWebEngineProfile* BrowserProfile()
{
    static QWebEngineProfile* profile = [] {
        auto* created = new QWebEngineProfile(QStringLiteral("ostrel-web"), qApp);
        g_profile = created;
        created->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true); // the PDF viewer
        created->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
        // Pages are asked for Dutch first, whatever the desktop's language.
        created->setHttpAcceptLanguage(QStringLiteral("nl-NL,nl;q=0.9,en;q=0.8"));
        return created;
    }();
    return profile;
}

void ReleaseBrowserProfile()
{
    delete std::exchange(g_profile, nullptr);
}

WebPage::WebPage(QWebEngineProfile* profile, QObject* parent, OutsideLinks* links)
    : QWebEnginePage(profile, parent), links_(links), scriptToken_(QUuid::createUuid().toString(QUuid::Id128))
{
    installPageScripts();
    // The engine asks acceptNavigationRequest about a scheme it does not know (ftp:// among them,
    // and our error page's button) only when this policy lets it; by default only for a navigation
    // that follows the user's input, which a script's click on our page's button is not, while a
    // page's script gets one for five seconds after any click. So every one is asked about, and
    // acceptNavigationRequest decides.
    settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowAllUnknownUrlSchemes);
    // Never left pending (the engine would wait for ever): notifications, location, camera and
    // microphone are refused at once.
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    connect(this, &QWebEnginePage::permissionRequested, this,
            [](QWebEnginePermission permission) { permission.deny(); });
#else
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
#endif
    // A certificate error is never accepted, silent or not: our page says so (errorpage.h).
    connect(this, &QWebEnginePage::certificateError, this, [](const QWebEngineCertificateError& error) {
        auto refused = error;
        refused.rejectCertificate();
    });
    connect(this, &QWebEnginePage::authenticationRequired, this, &WebPage::askForLogin);
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this, &WebPage::askForProxyLogin);
    connect(this, &QWebEnginePage::selectClientCertificate, this, &WebPage::chooseCertificate);
    connect(this, &QWebEnginePage::renderProcessTerminated, this, &WebPage::recoverFromCrash);
    connect(this, &QWebEnginePage::newWindowRequested, this, &WebPage::openWindow);
    // A page that starts loading is a new one: it may ask again. (A navigation to another
    // program's scheme starts a load too, and leaves the page where it is.)
    connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        const bool started = info.status() == QWebEngineLoadingInfo::LoadStartedStatus;
        if (started && leaving_ == Leaving::Asked)
            leaving_ = Leaving::Loading;
        else if (!started && (leaving_ == Leaving::Loading || (leaving_ == Leaving::Asked && byLoad_)))
            leaving_ = Leaving::No;
        if (started && IsWebScheme(info.url())) {
            dialogsOff_ = false;
            lastDialog_.invalidate();
            proxyAsks_.clear();
            proxyLogin_ = ProxyLogin::NotAsked;
        }
    });
    // Once the page the program took it to is there, that page may ask (also told by our script,
    // which comes earlier; this for a page without scripts).
    connect(this, &QWebEnginePage::urlChanged, this, [this] { leaving_ = Leaving::No; });
    connect(this, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok && url() != crashedUrl_)
            crashReloads_ = 0;
    });
}

// Every page of ours is made by the view that shows it, as its child.
QWebEngineView* WebPage::view() const
{
    return qobject_cast<QWebEngineView*>(parent());
}

void WebPage::Leave(bool byLoad)
{
    leaving_ = Leaving::Asked;
    byLoad_ = byLoad;
    if (QWebEngineView* shown = view())
        PageDialog::Dismiss(shown);
}

// The load the leaving brought has ended once the engine no longer loads, even while its report of
// the end is still on its way (a page's question can come first).
bool WebPage::beingLeft()
{
    if (leaving_ == Leaving::Loading && !isLoading())
        leaving_ = Leaving::No;
    return leaving_ != Leaving::No;
}

void WebPage::EndUnresponsiveRenderer(std::function<void()> then)
{
    afterEnd_ = std::move(then);
    if (!host::EndProcess(renderProcessPid())) {
        qCWarning(lcFailures, "the page's renderer %lld could not be ended", renderProcessPid());
        QTimer::singleShot(0, this, std::exchange(afterEnd_, {}));
    }
}

// Silent, a login request is cancelled at once: an empty answer would only be asked again. So is
// one that comes before the window is on the screen or in a pause (the start-up's POST meets both),
// to be asked again (questionPutOff): the engine wants its answer before the signal returns, and
// no window of ours may come up before the main window. The page is the one being loaded (a frame
// of it asks with another address), else the one shown.
void WebPage::askForLogin(const QUrl& url, QAuthenticator* authenticator)
{
    const QUrl page = requestedUrl().isEmpty() ? this->url() : requestedUrl();
    if (!silent && !mayAsk()) {
        *authenticator = QAuthenticator();
        emit questionPutOff(true);
        return;
    }
    if (silent || !LoginDialog::Ask(view(), url, page, authenticator))
        *authenticator = QAuthenticator();
}

bool WebPage::mayAsk() const
{
    const QWebEngineView* shown = view();
    return shown && shown->window()->isVisible() && !host::GuiPause::Active();
}

void WebPage::WhenMayAsk(std::function<void()> fn)
{
    if (mayAsk()) {
        fn();
        return;
    }
    // Rare (the start-up's requests, a pause's), and over in seconds: looked at again shortly.
    QTimer::singleShot(kWhenMayAskPollMs, this,
                       [this, fn = std::move(fn)]() mutable { WhenMayAsk(std::move(fn)); });
}

// The questions that came while none could be asked and that the engine still waits for (a
// certificate for a server): over the window, now that it is there.
void WebPage::askHeldQuestions()
{
    for (QWebEngineClientCertificateSelection& selection : std::exchange(heldCertificates_, {}))
        chooseCertificate(selection);
}

// A proxy that wants a login first gets the one known for it (given this session, or in the proxy
// setting) without a question; then the user is asked, up to three times for the same address.
// Once the user cancelled or the attempts are used up, the rest of the load (the proxy's own refusal
// page among it) is refused at once, and so is what comes while the dialog is open: the engine
// wants the answer before the signal returns.
void WebPage::askForProxyLogin(const QUrl& url, QAuthenticator* authenticator, const QString& proxyHost)
{
    const host::ProxyRoute route = host::SystemProxyRoute(url);
    const bool known = !route.direct() && route.host.compare(proxyHost, Qt::CaseInsensitive) == 0;
    const QString proxy = known ? route.name() : proxyHost;
    int& asks = proxyAsks_[url];
    ++asks;
    if (asks == 1) {
        if (const auto login = known ? host::ProxyLogins::For(route) : std::nullopt) {
            authenticator->setUser(login->user);
            authenticator->setPassword(login->password);
            return;
        }
        ++asks; // nothing to try silently: the first question is the first attempt
    }
    const int attempt = asks - 1;
    if (silent || proxyDialogOpen_ || proxyLogin_ != ProxyLogin::NotAsked || attempt > kProxyLoginAttempts) {
        if (attempt > kProxyLoginAttempts)
            proxyLogin_ = ProxyLogin::Refused;
        *authenticator = QAuthenticator();
        return;
    }
    if (!mayAsk()) {
        proxyLogin_ = ProxyLogin::Cancelled;
        *authenticator = QAuthenticator();
        emit questionPutOff(true);
        return;
    }
    proxyDialogOpen_ = true;
    const auto earlier = known ? host::ProxyLogins::For(route) : std::nullopt;
    const bool given = LoginDialog::AskForProxy(view(), proxy, attempt, kProxyLoginAttempts,
                                                earlier ? earlier->user : QString(), authenticator);
    proxyDialogOpen_ = false;
    if (!given) {
        proxyLogin_ = ProxyLogin::Cancelled;
        *authenticator = QAuthenticator();
        return;
    }
    if (known)
        host::ProxyLogins::Remember(route.host, route.port,
                                    {authenticator->user(), authenticator->password()});
}

namespace {
// The session's answers to servers that asked for a certificate, by "host:port": the chosen
// certificate, or none.
QHash<QString, std::optional<QSslCertificate>>& CertificateChoices()
{
    static QHash<QString, std::optional<QSslCertificate>> choices;
    return choices;
}

QString ServerOf(const QUrl& url)
{
    return url.host() + u':' + QString::number(url.port(443));
}
} // namespace

bool WebPage::CertificateDeclined(const QUrl& url)
{
    const auto choice = CertificateChoices().constFind(ServerOf(url));
    return choice != CertificateChoices().cend() && !choice->has_value();
}

void WebPage::ForgetDeclinedCertificates()
{
    CertificateChoices().removeIf([](const auto& choice) { return !choice.value().has_value(); });
}

// The certificate chosen for a server is sent again while it is offered, and none where the user
// sent none, until they try again (ForgetDeclinedCertificates): a page cannot bring the question
// back by asking again. Otherwise the user chooses; while silent none is sent. One that comes while
// no question may go to the user waits, unanswered, until one may (askHeldQuestions): the engine
// takes the answer later, and a "none" would stay with the server until the program ends.
void WebPage::chooseCertificate(QWebEngineClientCertificateSelection selection)
{
    const QString server = ServerOf(selection.host());
    const QList<QSslCertificate> offered = selection.certificates();
    auto& choices = CertificateChoices();
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
    if (silent || offered.isEmpty()) {
        selection.selectNone();
        return;
    }
    if (!mayAsk()) {
        heldCertificates_.append(selection);
        if (heldCertificates_.size() == 1)
            WhenMayAsk([this] { askHeldQuestions(); });
        emit questionPutOff(false);
        return;
    }
    const std::optional<qsizetype> chosen = CertificateChooser::Choose(view(), server, offered);
    if (!chosen) {
        choices.insert(server, std::nullopt);
        selection.selectNone();
        return;
    }
    choices.insert(server, offered.at(*chosen));
    selection.select(offered.at(*chosen));
}

// A dead renderer leaves a grey page: load it again, but a page that always crashes only a few
// times, then say so. A renderer we ended ourselves is no crash: what ended it goes on instead.
void WebPage::recoverFromCrash(RenderProcessTerminationStatus status)
{
    if (afterEnd_) {
        QTimer::singleShot(0, this, std::exchange(afterEnd_, {}));
        return;
    }
    if (status == NormalTerminationStatus)
        return;
    const QUrl address = requestedUrl().isEmpty() ? url() : requestedUrl();
    if (address != crashedUrl_) {
        crashedUrl_ = address;
        crashReloads_ = 0;
    }
    if (crashReloads_ < kCrashReloads) {
        ++crashReloads_;
        QTimer::singleShot(0, this, [this, address] { load(address); });
        return;
    }
    QTimer::singleShot(0, this,
                       [this, address] { setHtml(CrashPageHtml(address, kCrashReloads + 1), address); });
}

QStringList WebPage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                                 const QStringList& acceptedMimeTypes)
{
    if (silent)
        return {};
    return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
}

QWebEnginePage* WebPage::createWindow(WebWindowType /*type*/)
{
    return nullptr;
}

// A window the user asked for opens; one a page opens by itself only while few such are open.
// Either way it fits on the screen (popupwindow.h).
void WebPage::openWindow(QWebEngineNewWindowRequest& request)
{
    const QUrl url = request.requestedUrl();
    if (!IsWebScheme(url) && url.isValid()) {
        // A link for another program with a target: it opens no window.
        outsideLink(url);
        return;
    }
    const bool clicked = request.isUserInitiated();
    if (!clicked && PopupWindow::OpenedWithoutClick() >= kWindowsWithoutClick) {
        qCWarning(lcFailures, "a window the page opened without a click was blocked: %s",
                  qPrintable(url.toString()));
        if (QWebEngineView* shown = view())
            BlockedWindowBar::Show(
                shown, url, [profile = profile(), links = links_, entry = programEntry](const QUrl& address) {
                    WebPage* page = PopupWindow::Open(profile, links, true);
                    page->programEntry = entry;
                    page->load(address);
                });
        return;
    }
    WebPage* page = PopupWindow::Open(profile(), links_, clicked);
    page->programEntry = programEntry;
    request.openIn(page);
}

// The engine cannot load ftp:// at all, and other schemes belong to other programs: such a
// navigation goes to the desktop instead. The insurer's top-level page gets its ftp:// hand-off;
// any other page only a link the user clicked in the page itself (not in a frame, not a script's
// or a redirect's), once per click, after the user said yes.
bool WebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (url.scheme() == QLatin1String(kRetryScheme)) {
        if (isMainFrame)
            emit retryRequested();
        return false;
    }
    if (!IsWebScheme(url)) {
        if (isMainFrame && links_ && links_->HandOff(url, this->url()))
            return false;
        if (isMainFrame && type == NavigationTypeLinkClicked)
            outsideLink(url);
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

// The report of the user's click on the link and the navigation come in either order.
void WebPage::outsideLink(const QUrl& url)
{
    forgetOlder(clickedLinks_, kClickValidMs);
    if (!take(clickedLinks_, url)) {
        forgetOlder(waitingLinks_, kClickValidMs);
        QElapsedTimer now;
        now.start();
        waitingLinks_.append({url, now});
        return;
    }
    if (links_)
        links_->Clicked(view(), url);
}

void WebPage::linkClicked(const QUrl& url)
{
    forgetOlder(waitingLinks_, kClickValidMs);
    if (take(waitingLinks_, url)) {
        if (links_)
            links_->Clicked(view(), url);
        return;
    }
    forgetOlder(clickedLinks_, kClickValidMs);
    QElapsedTimer now;
    now.start();
    clickedLinks_.append({url, now});
}

// Two scripts of ours, in the application's own script world where the page's scripts cannot
// reach them: loadFinished covers the top-level frame only, so every other frame reports its
// completion; and the top-level page reports that it is there, before any script of its own runs
// (urlChanged is no sign: Qt 6.8 tells it after the page's first scripts have asked their
// questions), and each link the user himself clicked (a script's click is not trusted), which is
// what may hand a link to another program.
void WebPage::installPageScripts()
{
    const QString token = JsString(scriptToken_ + QLatin1Char(' '));
    QWebEngineScript frames;
    frames.setName(QStringLiteral("ostrel-frame-complete"));
    frames.setInjectionPoint(QWebEngineScript::DocumentCreation);
    frames.setWorldId(QWebEngineScript::ApplicationWorld);
    frames.setRunsOnSubFrames(true);
    frames.setSourceCode(
        QStringLiteral("if (window !== window.top) window.addEventListener('load', function () {"
                       " console.log(%1 + 'frame ' + document.URL); });")
            .arg(token));
    scripts().insert(frames);

    QWebEngineScript links;
    links.setName(QStringLiteral("ostrel-link-clicks"));
    links.setInjectionPoint(QWebEngineScript::DocumentCreation);
    links.setWorldId(QWebEngineScript::ApplicationWorld);
    links.setRunsOnSubFrames(false);
    links.setSourceCode(QStringLiteral("console.log(%1 + 'document');"
                                       " window.addEventListener('click', function (e) {"
                                       " if (!e.isTrusted) return;"
                                       " var t = e.composedPath()[0];"
                                       " if (t && t.nodeType !== 1) t = t.parentElement;"
                                       " var a = t && t.closest('a[href], area[href]');"
                                       " if (a) console.log(%1 + 'link ' + a.href); }, true);")
                            .arg(token));
    scripts().insert(links);
}

// The page's own dialogs sit over the page. They are not shown while silent, while the program
// takes the page elsewhere, in a pause of ours (which takes no input), once the window is closed,
// or once the user turned them off: then they are answered at once as if cancelled.
// (A dialog's nested event loop drops the Quit that closing the last window has posted: with Qt 6.8
// a page asking again and again would keep the program from ending.)
WebPage::Asked WebPage::ask(const QUrl& origin, PageDialog::Question question)
{
    QWebEngineView* shown = view();
    if (silent || beingLeft() || dialogsOff_ || !mayAsk())
        return {};
    QString host = origin.host();
    if (origin.port() > 0)
        host += QStringLiteral(":%1").arg(origin.port());
    question.heading =
        host.isEmpty() ? QStringLiteral("Deze pagina meldt:") : host + QStringLiteral(" meldt:");
    if (lastDialog_.isValid() && lastDialog_.elapsed() < kRepeatedDialogMs)
        question.option = QStringLiteral("Geen meldingen meer van deze pagina");
    const PageDialog::Answer answer = PageDialog::Ask(shown, question);
    lastDialog_.start();
    dialogsOff_ = dialogsOff_ || answer.option;
    return {answer.accepted, answer.input};
}

void WebPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    PageDialog::Question question;
    question.text = msg;
    ask(securityOrigin, question);
}

// Also asked before a page is left (beforeunload): a page that may not ask is let go; otherwise
// the user chooses.
bool WebPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    PageDialog::Question question;
    question.cancel = true;
    if (!isLeaveQuestion(msg)) {
        question.text = msg;
        return ask(securityOrigin, question).accepted;
    }
    if (silent || beingLeft() || dialogsOff_ || host::GuiPause::Active())
        return true;
    question.text =
        QStringLiteral("Deze pagina verlaten? Wat u hebt ingevuld, is dan misschien niet bewaard.");
    question.acceptText = QStringLiteral("Verlaten");
    question.cancelText = QStringLiteral("Blijven");
    return ask(securityOrigin, question).accepted;
}

bool WebPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                               QString* result)
{
    PageDialog::Question question;
    question.text = msg;
    question.cancel = true;
    question.input = true;
    question.inputText = defaultValue;
    const Asked answer = ask(securityOrigin, question);
    if (answer.accepted)
        *result = answer.input;
    return answer.accepted;
}

void WebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                       int lineNumber, const QString& sourceID)
{
    if (!message.startsWith(scriptToken_ + QLatin1Char(' '))) {
        QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
        return;
    }
    const QStringView report = QStringView(message).mid(scriptToken_.size() + 1);
    if (report.startsWith(u"frame "))
        emit frameCompleted(report.mid(6).toString());
    else if (report.startsWith(u"link "))
        linkClicked(QUrl(report.mid(5).toString()));
    else if (report == u"document")
        leaving_ = Leaving::No; // the page the program took it to is there: it may ask
}

} // namespace ostrel::web
