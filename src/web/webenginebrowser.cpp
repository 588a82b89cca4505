#include "web/webenginebrowser.h"

#include "host/failurelog.h"
#include "host/pause.h"
#include "host/proxies.h"
#include "web/browserprofile.h"
#include "web/freedmemory.h"
#include "web/pagedialog.h"
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

// Whether the address the engine tells for a load is the one a request of ours asked for. The
// engine reports "http://host?query" as "http://host/?query".
bool engineUrlIsRequestUrl(QUrl engineUrl, const host::Request& request)
{
    QUrl asked = toUrl(request.url);
    for (QUrl* url : {&engineUrl, &asked})
        if (url->path().isEmpty() && !url->host().isEmpty())
            url->setPath(QStringLiteral("/"));
    return engineUrl == asked;
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
      page_(new WebPage({profile, trust_, outsideLinks_, pause, &programEntry_, this}, this)),
      nav_([this](const OurNavigation::Decision& decision) { carryOut(decision); },
           [this] { return clearGoesOn(); }),
      watch_(page_, nav_, pause, [this](const host::Request& request) { Navigate(request); })
{
    setPage(page_);
    // A page cannot close the main window's browser: its window.close() asks, and nobody listens.
    // The page's own window.print() stands for the user's click: one print dialog per click, none
    // before the window is on the screen or in a pause (a page that prints in a loop gets one).
    connect(page_, &QWebEnginePage::printRequested, this, [this] {
        const Trust::Answer answer = trust_.Ask({page_->url(), {}, this});
        if (answer.mayAsk && trust_.TakeAct(answer.act))
            PrintWithDialog();
        else
            qCWarning(lcFailures, "a print the user did not ask for was not started: %s",
                      qPrintable(page_->url().toString()));
    });
    // Our navigation has landed when the load that started after it has ended, whatever its
    // address (a redirect) or outcome; the late report of the load before it does not count.
    // (urlChanged is no sign: for a page's own location.replace() it comes before the commit.)
    // A load that was stopped (as every no-history navigation first stops the one in progress)
    // still reports loadFinished(false): a cancelled load is no completed document, so the loading
    // states are read instead.
    connect(page_, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        using How = OurNavigation::LoadEnd::How;
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
            nav_.LoadStarted();
            return;
        }
        const How how = info.status() == QWebEngineLoadingInfo::LoadStoppedStatus  ? How::Stopped
                        : info.status() == QWebEngineLoadingInfo::LoadFailedStatus ? How::Failed
                                                                                   : How::Succeeded;
        if (!nav_.LoadEnded({how, engineUrlIsRequestUrl(info.url(), nav_.Last()), IsWebScheme(info.url())}))
            return;
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
        nav_.ReloadWhenReady();
    });

    // Our navigation that met the question is held until the user can be asked.
    connect(page_, &WebPage::questionPutOff, this, [this](bool lost) {
        if (nav_.HoldForTheQuestion())
            page_->WhenMayAsk([this, lost] { nav_.MayAsk(lost); });
    });
    // A page left behind, a heavy one above all (thousands of frames), is let go of once the next
    // has loaded: what it took goes back to the system then.
    connect(page_, &QWebEnginePage::loadFinished, this, [] { ReturnFreedMemorySoon(); });
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
    if (why == Unreachable::ProxyLoginCancelled &&
        page_->logins().proxyLogin() == PageLogins::ProxyLogin::Refused)
        why = Unreachable::ProxyLoginRefused;
    // A 407 that never reached us as a question: the proxy wants what only the computer's own login
    // gives (the engine answers Negotiate by itself, with the user's Kerberos ticket).
    if (why == Unreachable::ProxyLoginCancelled && page_->logins().proxyName().isEmpty())
        why = Unreachable::NoNetworkLogin;
    if (why == Unreachable::Failed && page_->logins().CertificateDeclined(info.url()))
        why = Unreachable::NoCertificate;
    // Only a proxy's failure asks which proxy: with a proxy found automatically (WPAD) the
    // question itself may wait on the network.
    // The proxy that asked for a login is known; another is asked for only if it failed.
    QString proxy = page_->logins().proxyName();
    if (proxy.isEmpty() && OfTheProxy(why))
        if (const auto route = page_->context().profile.proxies().KnownRoute(info.url());
            route && !route->direct())
            proxy = route->name();
    host::Request request =
        engineUrlIsRequestUrl(info.url(), nav_.Last())
            ? nav_.Last()
            : host::Request{info.url().toString(QUrl::FullyEncoded).toStdString(), 0, {}, {}, {}};
    unreachable_ = Failed{std::move(request), why};
    page_->setHtml(ErrorPageHtml(why, info.url(), proxy), info.url());
    if (ForWantOfNetwork(why))
        retryWhenTheNetworkIsBack();
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
    delete printDialog_; // before its printer
    delete page_;
}

// What our navigation's rules decided, carried out on the engine.
void WebEngineBrowser::carryOut(const OurNavigation::Decision& decision)
{
    using Step = OurNavigation::Decision::Step;
    switch (decision.step) {
    case Step::Load:
        navigateNow(decision.request);
        return;
    case Step::AskAgainSoon:
        QTimer::singleShot(0, this, [this, attempt = decision.attempt] { nav_.AskAgain(attempt); });
        return;
    case Step::PollTheClear:
        QTimer::singleShot(kCacheClearPollMs, this, [this] { nav_.ReloadWhenReady(); });
        return;
    case Step::Reload:
        if (unreachable_) { // reloading our error page would only show it again
            retryUnreachable();
            return;
        }
        // Only now: a reload cancels a page not yet committed, and one during a cache clear can hang.
        page_->triggerAction(QWebEnginePage::Reload);
        return;
    }
}

void WebEngineBrowser::Navigate(const host::Request& asked)
{
    trust_.EndActs(); // the next page does nothing for a click on this one
    nav_.Navigate(asked);
}

void WebEngineBrowser::navigateNow(const host::Request& asked)
{
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
    watch_.Watch();
    if (replace) {
        // Qt has no load that replaces the current history entry; the page's own location.replace()
        // does, unless a load in progress swallows it, so that is stopped first.
        // location.replace() would send the page being left as Referer; a navigation of the
        // program's own sends none, as a typed address does not, so the page's policy is set first.
        page_->triggerAction(QWebEnginePage::Stop);
        nav_.LoadAsked(true);
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
    nav_.LoadAsked(false);
    page_->load(request);
}

// The reload waits for our navigation under way and for a cache clear (OurNavigation::Refresh).
void WebEngineBrowser::Refresh2()
{
    trust_.EndActs(); // the reloaded page does nothing for the key that reloaded it
    page_->Leave();
    nav_.Refresh();
}

// Whether the cache clear goes on, as far as the engine tells, and a reload may still wait for it.
bool WebEngineBrowser::clearGoesOn()
{
    const qint64 elapsed = cacheClearTime_.elapsed();
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
    const bool clearing = !cacheCleared_; // the engine says when it is done
#else
    for (qsizetype i = cacheLeftovers_.size() - 1; i >= 0; --i)
        if (!QFileInfo::exists(cacheLeftovers_[i]))
            cacheLeftovers_.removeAt(i);
    const bool clearing = !cacheLeftovers_.isEmpty() || elapsed < kCacheClearSettleMs;
#endif
    if (clearing && elapsed < kCacheClearBoundMs)
        return true;
    cacheLeftovers_.clear();
    return false;
}

void WebEngineBrowser::contextMenuEvent(QContextMenuEvent* event)
{
    ShowPageMenu(*this, event->globalPos(), &programEntry_);
}

// The print dialog is a question over the page, as the page's own: the header and the keys act on
// and end it. The printer is made anew only once the last dialog, which reads it, has gone.
void WebEngineBrowser::PrintWithDialog()
{
    if (printDialog_ || printing_)
        return;
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printDialog_ = new QPrintDialog(printer_.get());
    PageDialog::Hold(this, QStringLiteral("Afdrukken"), printDialog_, [this](bool accepted) {
        if (!accepted)
            return;
        printing_ = true;
        connect(
            this, &QWebEngineView::printFinished, this, [this] { printing_ = false; },
            Qt::SingleShotConnection);
        print(printer_.get());
    });
}

void WebEngineBrowser::ClearCache()
{
    // A load in flight while the cache is emptied never ends (nor reports that it has): it is
    // stopped here, and ours is made again once the clear is over (OurNavigation::StoppedForAClear).
    if (page_->isLoading()) {
        nav_.StoppedForAClear();
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
    nav_.ClearStarted();
    profile_->clearHttpCache();
    // The engine clears its HTTP cache only: what the page's site put in the Cache API goes too
    // (every other site's goes at the next start, with the folder that holds it).
    page_->runJavaScript(QStringLiteral("if (self.caches) caches.keys().then(function (names) {"
                                        " names.forEach(function (name) { caches.delete(name); }); });"),
                         QWebEngineScript::ApplicationWorld);
}

void WebEngineBrowser::SetProgramNames(std::function<QString(const QString& scheme)> name)
{
    programNames_ = std::move(name);
}

void WebEngineBrowser::SetProgramMenuEntry(QString text, std::function<void()> run)
{
    programEntry_ = {std::move(text), std::move(run)};
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
