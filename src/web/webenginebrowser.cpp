#include "web/webenginebrowser.h"

#include "host/failurelog.h"
#include "host/pause.h"
#include "host/proxyroute.h"
#include "web/browserprofile.h"
#include "web/pagemenu.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QNetworkInformation>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>

#include <utility>

namespace ostrel::web {

namespace {

// How long a reload waits for the cache to be emptied before it goes ahead all the same.
constexpr int kCacheClearBoundMs = 10000;
constexpr int kCacheClearPollMs = 10;
#if QT_VERSION < QT_VERSION_CHECK(6, 7, 0)
// A load started within about 5 ms of a clear never ends (measured: 2 ms hangs, 5 ms loads), even
// with an empty cache, which leaves no files to watch; on a busy machine 100 ms was once not
// enough. No load goes out sooner than this (the message has been shown by then).
constexpr int kCacheClearSettleMs = 500;

// The cache's entry files. A clear removes exactly these within milliseconds and always keeps the
// index files ("index" and "index-dir/the-real-index"), which the engine rewrites at will: they are
// no sign of anything. Entries that pages write after the clear are theirs, not left-overs.
QStringList cacheEntries(const QWebEngineProfile* profile)
{
    QStringList entries;
    QDirIterator files(profile->cachePath(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        if (files.fileName() != QLatin1String("index") && files.fileName() != QLatin1String("the-real-index"))
            entries.append(files.filePath());
    }
    return entries;
}
#endif

QUrl toUrl(const std::string& url)
{
    return QUrl(QString::fromStdString(url));
}

// The engine reports "http://host?query" as "http://host/?query".
bool sameAddress(QUrl a, QUrl b)
{
    for (QUrl* url : {&a, &b})
        if (url->path().isEmpty() && !url->host().isEmpty())
            url->setPath(QStringLiteral("/"));
    return a == b;
}

} // namespace

WebEngineBrowser::WebEngineBrowser(BrowserProfile& profile, host::Pause& pause, QList<QUrl> insurerOrigins,
                                   QWidget* parent)
    : QWebEngineView(parent), profile_(profile.engine()), pause_(pause),
      trust_(std::move(insurerOrigins), profile.initiators(), pause),
      outsideLinks_(
          trust_,
          [this](const QUrl& url) {
              if (onOutsideAddress_)
                  onOutsideAddress_(url.toString(QUrl::FullyEncoded).toStdString());
          },
          [this](const QUrl& url) {
              if (onPageOutsideAddress_)
                  onPageOutsideAddress_(url.toString(QUrl::FullyEncoded).toStdString());
          },
          [this](const QString& scheme) { return programNames_ ? programNames_(scheme) : QString(); }),
      page_(new WebPage({profile, trust_, outsideLinks_, pause, &programEntry_}, this))
{
    setPage(page_);
    // A page cannot close the main window's browser: its window.close() asks, and nobody listens.
    connect(page_, &QWebEnginePage::printRequested, this, &WebEngineBrowser::PrintWithDialog);
    // Our navigation has landed when the load that started after it has ended, whatever its
    // address (a redirect) or outcome; the late report of the load before it does not count.
    // (urlChanged is no sign: for a page's own location.replace() it comes before the commit.)
    // A load that was stopped (as every no-history navigation first stops the one in progress)
    // still reports loadFinished(false): a cancelled load is no completed document, so the loading
    // states are read instead.
    connect(page_, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        switch (info.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            if (pending_ == Pending::Requested)
                pending_ = Pending::Started;
            return;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            if (askAgainIfDisplaced(info))
                return;
            endOurNavigation(info);
            endHoldWhenLanded();
            reloadWhenReady();
            return;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
        case QWebEngineLoadingInfo::LoadFailedStatus:
            if (askAgainIfDisplaced(info))
                return;
            endOurNavigation(info);
            if (hold_ == Hold::Held)
                return; // what the user is not asked yet is no answer: nothing to show for it
            // On a busy machine a load's failure can be told after our next navigation was asked for
            // (the start-up's POST, after its pause): our page for it would take that one's place.
            if (pending_ == Pending::Requested && info.status() == QWebEngineLoadingInfo::LoadFailedStatus)
                return;
            endHoldWhenLanded();
            if (const auto why = UnreachableBecause(info)) {
                showUnreachable(info, *why); // our page takes the engine's place; its load is the document
                return;
            }
            if (const auto refused = CertificatePageHtml(info)) {
                page_->setHtml(*refused, info.url());
                return;
            }
            // Otherwise a failed load's document is the engine's error page.
            raiseDocumentComplete(true, page_->url().toString(QUrl::FullyEncoded));
            reloadWhenReady();
            return;
        }
    });

    connect(page_, &WebPage::questionPutOff, this, &WebEngineBrowser::holdForTheQuestion);
    connect(page_, &WebPage::frameCompleted, this,
            [this](const QString& url) { raiseDocumentComplete(false, url); });
    // Not from inside the engine's navigation callback: a retry may pause (the start-up's does).
    connect(page_, &WebPage::retryRequested, this,
            [this] { QTimer::singleShot(0, this, &WebEngineBrowser::retryUnreachable); });
}

// The page tells what the engine's error code cannot: whether the user gave up on the proxy's
// login or the proxy refused it, and whether a server's closed connection followed the user's
// sending no certificate.
void WebEngineBrowser::showUnreachable(const QWebEngineLoadingInfo& info, Unreachable why)
{
    if (why == Unreachable::ProxyLoginCancelled && page_->logins().proxyLogin() == PageLogins::ProxyLogin::Refused)
        why = Unreachable::ProxyLoginRefused;
    if (why == Unreachable::Failed && page_->logins().CertificateDeclined(info.url()))
        why = Unreachable::NoCertificate;
    // Only a proxy's failure asks which proxy: with a proxy found automatically (WPAD) the
    // question itself may wait on the network.
    const host::ProxyRoute route = OfTheProxy(why) ? host::SystemProxyRoute(info.url()) : host::ProxyRoute{};
    host::Request request = sameAddress(toUrl(lastRequest_.url), info.url())
                                ? lastRequest_
                                : host::Request{info.url().toString(QUrl::FullyEncoded).toStdString(), 0, {}, {}, {}};
    unreachable_ = Failed{std::move(request), why};
    page_->setHtml(ErrorPageHtml(why, info.url(), route.direct() ? QString() : route.name()), info.url());
    if (ForWantOfNetwork(why))
        retryWhenTheNetworkIsBack();
}

// A login or certificate asked for while our navigation was under way and no question could go to
// the user (the start-up's POST, before its window is there): that navigation is held, and ours that
// come meanwhile (the start-up's page) wait for it. Once the user can be asked, the question comes
// (a certificate the engine still waits for), or the navigation is made again (a login the engine
// had to be told no), and what waited goes once it has landed: the portal gets its versions, then
// the page, each once.
void WebEngineBrowser::holdForTheQuestion(bool lost)
{
    if (hold_ != Hold::None || pending_ == Pending::None)
        return;
    hold_ = Hold::Held; // ours that come meanwhile wait: lastRequest_ stays the one held
    page_->WhenMayAsk([this, lost] {
        hold_ = Hold::Asking; // a certificate is asked by the page itself
        if (lost)
            navigateNow(host::Request(lastRequest_));
        endHoldWhenLanded();
    });
}

void WebEngineBrowser::endHoldWhenLanded()
{
    if (hold_ != Hold::Asking || pending_ != Pending::None)
        return;
    hold_ = Hold::None;
    if (queued_)
        navigateNow(*std::exchange(queued_, std::nullopt));
    else
        reloadWhenReady();
}

// Trying again is the failed request once more, or what its sender said trying again means.
void WebEngineBrowser::retryUnreachable()
{
    if (!unreachable_)
        return;
    host::Request request = std::move(unreachable_->request);
    unreachable_.reset();
    page_->logins().ForgetDeclinedCertificates();
    if (request.retry)
        request.retry();
    else
        Navigate(request);
}

// Where the system tells (NetworkManager), a page that failed for want of a network is tried
// again by itself when the network is back.
void WebEngineBrowser::retryWhenTheNetworkIsBack()
{
    if (watchingNetwork_)
        return;
    watchingNetwork_ = true;
    if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) {
                if (reachability == QNetworkInformation::Reachability::Online && unreachable_ &&
                    ForWantOfNetwork(unreachable_->why))
                    retryUnreachable();
            });
}

// The page goes before the profile that it uses. (With the sandbox off, as root, renderers started
// after two pages were deleted hang unless Chromium runs with --no-zygote: the scripts set it.)
WebEngineBrowser::~WebEngineBrowser()
{
    delete page_;
}

// A page's script that goes to another program's address while our navigation is on its way takes
// its place in the engine, which then ends, refused, and leaves the page where it was: ours is asked
// for again, a few times at most, so that a header click is not lost to such a page.
bool WebEngineBrowser::askAgainIfDisplaced(const QWebEngineLoadingInfo& info)
{
    constexpr int kMostAskedAgain = 5;
    if (pending_ != Pending::Started || IsWebScheme(info.url()) || askedAgain_ >= kMostAskedAgain ||
        sameAddress(info.url(), toUrl(lastRequest_.url)))
        return false;
    pending_ = Pending::Requested;
    const int attempt = ++askedAgain_;
    QTimer::singleShot(0, this, [this, attempt] { // not from inside the engine's report
        if (askedAgain_ == attempt && pending_ == Pending::Requested)
            navigateNow(lastRequest_);
    });
    return true;
}

// Our navigation has ended with the load that started after it, or, for a load of ours that cut
// another short and brought nothing, with the one end the engine reports, under its address.
void WebEngineBrowser::endOurNavigation(const QWebEngineLoadingInfo& info)
{
    if (pending_ == Pending::Started ||
        (pending_ == Pending::Requested && !replacing_ && sameAddress(info.url(), toUrl(lastRequest_.url))))
        pending_ = Pending::None;
}

void WebEngineBrowser::load(const QWebEngineHttpRequest& request)
{
    pending_ = Pending::Requested;
    replacing_ = false;
    reloadWanted_ = false; // a reload asked for before this navigation was for the page it leaves
    page_->load(request);
}

void WebEngineBrowser::Navigate(const host::Request& asked)
{
    askedAgain_ = 0;
    if (hold_ != Hold::None) {
        queued_ = asked;
        return;
    }
    if (cacheClearTime_.isValid()) {
        // A load made while the cache is emptied never ends either: it goes once the clear is over,
        // in the place of the reload that may be waiting for it.
        interrupted_ = asked;
        reloadWhenReady();
        return;
    }
    navigateNow(asked);
}

void WebEngineBrowser::navigateNow(const host::Request& asked)
{
    lastRequest_ = asked;
    unreachable_.reset();
    const QUrl url = toUrl(asked.url);
    const bool post = !asked.body.empty();
    if (!post && OutsideLinks::DesktopOnly(url)) {
        if (onOutsideAddress_)
            onOutsideAddress_(asked.url);
        return;
    }
    const bool replace = !post && (asked.flags & host::navNoHistory);
    page_->Leave(!replace);
    watchForAnUnresponsivePage();
    if (replace) {
        // Qt has no load that replaces the current history entry; the page's own location.replace()
        // does, unless a load in progress swallows it, so that is stopped first.
        // location.replace() would send the page being left as Referer; a navigation of the
        // program's own sends none, as a typed address does not, so the page's policy is set first.
        page_->triggerAction(QWebEnginePage::Stop);
        pending_ = Pending::Requested;
        replacing_ = true;
        reloadWanted_ = false;
        // A document that has only just committed may have no element yet to hold the policy.
        page_->runJavaScript(
            QStringLiteral("try { var m = document.createElement('meta'); m.name = 'referrer';"
                           " m.content = 'no-referrer';"
                           " var holder = document.head || document.documentElement;"
                           " if (!holder) holder = document.appendChild(document.createElement('html'));"
                           " holder.appendChild(m); } catch (e) {} location.replace(%1);")
                .arg(JsString(url.toString())),
            QWebEngineScript::ApplicationWorld);
        return;
    }
    // Built by hand: QWebEngineHttpRequest::postRequest() sorts the fields and sends no Content-Type.
    QWebEngineHttpRequest request(url, post ? QWebEngineHttpRequest::Post : QWebEngineHttpRequest::Get);
    if (post)
        request.setPostData(QByteArray(reinterpret_cast<const char*>(asked.body.data()),
                                       static_cast<qsizetype>(asked.body.size())));
    if (asked.flags & host::navNoReadFromCache) {
        // A plain load may be answered from the HTTP cache; with these headers Chromium asks the server.
        request.setHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache"));
        request.setHeader(QByteArrayLiteral("Pragma"), QByteArrayLiteral("no-cache"));
    }
    for (const auto& [name, value] : asked.headers)
        request.setHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    // A load in progress is stopped first, as for a no-history navigation: otherwise the engine may
    // report only that load's end, and no start or end of ours when it brings no document (an
    // empty answer), which would leave the page being left for good.
    if (page_->isLoading())
        page_->triggerAction(QWebEnginePage::Stop);
    load(request);
}

// A reload while the cache is being emptied can hang for ever, and a reload before the page we
// navigated to has ended cancels it and reloads the page being left. So the reload is made once
// both are over, without holding up the window meanwhile; a navigation of ours that comes first
// takes its place.
void WebEngineBrowser::Refresh2()
{
    page_->Leave();
    reloadWanted_ = true;
    reloadWhenReady();
}

void WebEngineBrowser::reloadWhenReady()
{
    if (!reloadWanted_ && !interrupted_)
        return;
    if (cacheClearTime_.isValid()) {
        const qint64 elapsed = cacheClearTime_.elapsed();
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
        const bool clearing = !cacheCleared_; // the engine says when it is done
#else
        for (qsizetype i = cacheLeftovers_.size() - 1; i >= 0; --i)
            if (!QFileInfo::exists(cacheLeftovers_[i]))
                cacheLeftovers_.removeAt(i);
        const bool clearing = !cacheLeftovers_.isEmpty() || elapsed < kCacheClearSettleMs;
#endif
        if (clearing && elapsed < kCacheClearBoundMs) {
            QTimer::singleShot(kCacheClearPollMs, this, &WebEngineBrowser::reloadWhenReady);
            return;
        }
        cacheLeftovers_.clear();
        cacheClearTime_.invalidate();
    }
    if (interrupted_) { // asked for again as it was, which is the reload
        Navigate(*std::exchange(interrupted_, std::nullopt));
        return;
    }
    if (pending_ != Pending::None || hold_ != Hold::None)
        return; // the end of our navigation, or of the one held, asks again
    reloadWanted_ = false;
    if (unreachable_) { // reloading our error page would only show it again
        retryUnreachable();
        return;
    }
    page_->triggerAction(QWebEnginePage::Reload);
}

void WebEngineBrowser::contextMenuEvent(QContextMenuEvent* event)
{
    ShowPageMenu(*this, event->globalPos(), &programEntry_);
}

void WebEngineBrowser::PrintWithDialog()
{
    if (printer_) // still printing the last one
        return;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printer_ = std::move(printer);
    connect(
        this, &QWebEngineView::printFinished, this, [this] { printer_.reset(); }, Qt::SingleShotConnection);
    print(printer_.get());
}

void WebEngineBrowser::ClearCache()
{
    // A load in flight while the cache is emptied never ends (nor reports that it has): it is
    // stopped here. Our own navigation is asked for again once the clear is over, as it was (a
    // POST as a POST, without a history entry where it had none); one of the page's own, whose
    // form data we never saw, stays stopped.
    if (page_->isLoading()) {
        if (pending_ != Pending::None)
            interrupted_ = lastRequest_;
        page_->triggerAction(QWebEnginePage::Stop);
    }
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
    cacheCleared_ = false;
    connect(
        profile_, &QWebEngineProfile::clearHttpCacheCompleted, this, [this] { cacheCleared_ = true; },
        Qt::SingleShotConnection);
#else
    // Asynchronous, with no signal when done: the clear is over when the entries it found are gone.
    cacheLeftovers_ = cacheEntries(profile_);
#endif
    cacheClearTime_.start();
    profile_->clearHttpCache();
}

void WebEngineBrowser::SetProgramNames(std::function<QString(const QString& scheme)> name)
{
    programNames_ = std::move(name);
}

void WebEngineBrowser::SetProgramMenuEntry(QString text, std::function<void()> run)
{
    programEntry_ = {std::move(text), std::move(run)};
}

// A page whose script never ends holds its renderer, and with it every navigation done in the page
// (a no-history navigation is the page's own location.replace()) or committed to it: the header
// would do nothing. While our navigation is under way the renderer is asked a question every
// kPingMs; one that has answered none for kUnresponsiveMs is hung. (One answer alone proves
// nothing: it may come just before the page's script starts its loop.)
void WebEngineBrowser::watchForAnUnresponsivePage()
{
    const int watch = ++watches_;
    lastAnswer_.start();
    watchedRenderer_ = page_->renderProcessPid();
    pingRenderer(watch);
}

void WebEngineBrowser::pingRenderer(int watch)
{
    page_->runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                         [self = QPointer(this), watch](const QVariant&) {
                             if (self && self->watches_ == watch)
                                 self->lastAnswer_.start();
                         });
    // Not in a pause of ours, which takes the page nowhere: once it is over, if no navigation of
    // ours came meanwhile.
    QTimer::singleShot(kPingMs, this, [this, watch] {
        pause_.RunOutsidePause([self = QPointer(this), watch] {
            if (!self || self->watches_ != watch || self->pending_ == Pending::None)
                return;
            if (self->lastAnswer_.elapsed() < kUnresponsiveMs)
                self->pingRenderer(watch);
            else
                self->endAnUnresponsivePage();
        });
    });
}

void WebEngineBrowser::endAnUnresponsivePage()
{
    // The page being left asks no questions meanwhile (WebPage::Leave). A navigation to another
    // site may have got through in a renderer of its own: the one left behind is the engine's.
    if (watchedRenderer_ <= 0 || page_->renderProcessPid() != watchedRenderer_)
        return;
    qCWarning(lcFailures, "the page did not answer for %d ms: its renderer is ended for %s", kUnresponsiveMs,
              lastRequest_.url.c_str());
    // Without the page there is nothing to replace: the navigation is a plain load.
    host::Request request = lastRequest_;
    request.flags &= ~host::navNoHistory;
    page_->EndUnresponsiveRenderer([this, request] { Navigate(request); });
}

void WebEngineBrowser::SetOnOutsideAddress(OutsideAddressHandler handler)
{
    onOutsideAddress_ = std::move(handler);
}

void WebEngineBrowser::SetOnPageOutsideAddress(OutsideAddressHandler handler)
{
    onPageOutsideAddress_ = std::move(handler);
}

void WebEngineBrowser::SetSilent(bool silent)
{
    page_->silent = silent;
}

bool WebEngineBrowser::Silent() const
{
    return page_->silent;
}

std::string WebEngineBrowser::DocumentUrl() const
{
    return page_->url().toString(QUrl::FullyEncoded).toStdString();
}

void WebEngineBrowser::SetOnDocumentComplete(DocumentCompleteHandler handler)
{
    onDocumentComplete_ = std::move(handler);
}

void WebEngineBrowser::raiseDocumentComplete(bool topLevel, const QString& url)
{
    pause_.RunOutsidePause([self = QPointer(this), topLevel, url = url.toStdString()] {
        if (self && self->onDocumentComplete_)
            self->onDocumentComplete_(topLevel, url);
    });
}

} // namespace ostrel::web
