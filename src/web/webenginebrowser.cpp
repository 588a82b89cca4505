#include "web/webenginebrowser.h"

#include "host/guipause.h"
#include "web/logindialog.h"
#include "web/pagemenu.h"
#include "web/popupwindow.h"

#include <QAuthenticator>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QUuid>
#include <QWebEngineCertificateError>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <utility>

namespace ostrel::web {

namespace {

// How long a reload waits for the cache to be emptied before it goes ahead all the same.
constexpr int kCacheClearBoundMs = 10000;
constexpr int kCacheClearPollMs = 10;
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

// The schemes the engine shows itself.
bool isWebScheme(const QUrl& url)
{
    static const QStringList kSchemes{
        QStringLiteral("http"),     QStringLiteral("https"),       QStringLiteral("file"),
        QStringLiteral("data"),     QStringLiteral("blob"),        QStringLiteral("about"),
        QStringLiteral("qrc"),      QStringLiteral("view-source"), QStringLiteral("chrome"),
        QStringLiteral("devtools"), QStringLiteral("javascript")};
    return kSchemes.contains(url.scheme());
}

QUrl toUrl(const std::string& url)
{
    return QUrl(QString::fromStdString(url));
}

// A JavaScript string literal holding text, escaped by the JSON writer.
QString jsString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

// One persistent profile for the process (cookies and HTTP cache on disk; Qt's default profile is
// off the record). Two profiles on the same storage would fight over its lock, so views share it.
// It lives until the application object goes, after every page.
QWebEngineProfile* BrowserProfile()
{
    static QWebEngineProfile* profile = [] {
        auto* created = new QWebEngineProfile(QStringLiteral("ostrel-web"), qApp);
        created->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true); // the PDF viewer
        created->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
        return created;
    }();
    return profile;
}

WebPage::WebPage(QWebEngineProfile* profile, QObject* parent, OutsideHandler openOutside)
    : QWebEnginePage(profile, parent), openOutside(std::move(openOutside)),
      frameToken_(QUuid::createUuid().toString(QUuid::Id128))
{
    installFrameReporter();
    // The engine treats ftp:// as a scheme it does not know and asks acceptNavigationRequest about
    // it only when this policy lets it (by default only for a click the user made himself).
    settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowAllUnknownUrlSchemes);
    // Never left pending (the engine would wait for ever): notifications, location, camera and
    // microphone are refused at once.
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    // A certificate error is never accepted, silent or not: the engine shows its error page.
    connect(this, &QWebEnginePage::certificateError, this, [](const QWebEngineCertificateError& error) {
        auto refused = error;
        refused.rejectCertificate();
    });
    connect(this, &QWebEnginePage::authenticationRequired, this, &WebPage::askForLogin);
    connect(this, &QWebEnginePage::renderProcessTerminated, this, &WebPage::recoverFromCrash);
    connect(this, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok && url() != crashedUrl_)
            crashReloads_ = 0;
    });
}

// Silent, a login request is cancelled at once: an empty answer would only be asked again.
void WebPage::askForLogin(const QUrl& url, QAuthenticator* authenticator)
{
    if (silent || !LoginDialog::Ask(QWebEngineView::forPage(this), url, authenticator))
        *authenticator = QAuthenticator();
}

// A dead renderer leaves a grey page: load it again, but a page that always crashes only a few
// times, then say so.
void WebPage::recoverFromCrash(RenderProcessTerminationStatus status)
{
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
    const QString text =
        QStringLiteral("<!DOCTYPE html><html><head><meta charset=utf-8><title>Pagina gestopt</title></head>"
                       "<body style='font-family:sans-serif;margin:2em'><h1>Deze pagina is gestopt</h1>"
                       "<p>De pagina %1 is %2 keer achter elkaar vastgelopen.</p>"
                       "<p><a href='%1'>Opnieuw laden</a></p></body></html>");
    QTimer::singleShot(0, this, [this, address, text] {
        setHtml(text.arg(address.toString(QUrl::FullyEncoded).toHtmlEscaped()).arg(kCrashReloads + 1),
                address);
    });
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
    return PopupWindow::Open(profile(), openOutside);
}

// The engine cannot load ftp:// at all: such a navigation would leave the page where it was and
// say nothing. The desktop's handler for the scheme gets it instead, once per request.
bool WebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (IsOutsideAddress(url)) {
        if (isMainFrame && openOutside)
            openOutside(url);
        return false;
    }
    // Other schemes the engine does not know go to the desktop, as the engine's default has it,
    // only for a link (a page's script alone may not start programs).
    if (!isWebScheme(url) && type != NavigationTypeLinkClicked)
        return false;
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

bool WebPage::IsOutsideAddress(const QUrl& url)
{
    return url.scheme() == QLatin1String("ftp");
}

// loadFinished covers the top-level frame only; a script in every frame reports the others.
// It runs in the application's own script world, where the page's scripts cannot reach it.
void WebPage::installFrameReporter()
{
    QWebEngineScript script;
    script.setName(QStringLiteral("ostrel-frame-complete"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(
        QStringLiteral("if (window !== window.top) window.addEventListener('load', function () {"
                       " console.log(%1 + document.URL); });")
            .arg(jsString(frameToken_ + QLatin1Char(' '))));
    scripts().insert(script);
}

void WebPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    if (!silent)
        QWebEnginePage::javaScriptAlert(securityOrigin, msg);
}

// Also asked before a page is left (beforeunload): silent, the page is always let go.
bool WebPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    return silent || QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
}

bool WebPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                               QString* result)
{
    return !silent && QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
}

void WebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                       int lineNumber, const QString& sourceID)
{
    if (message.startsWith(frameToken_) && message.size() > frameToken_.size())
        emit frameCompleted(message.mid(frameToken_.size() + 1));
    else
        QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}

WebEngineBrowser::WebEngineBrowser(QWidget* parent)
    : QWebEngineView(parent), profile_(BrowserProfile()),
      page_(new WebPage(profile_, this, [this](const QUrl& url) {
          if (onOutsideAddress_)
              onOutsideAddress_(url.toString(QUrl::FullyEncoded).toStdString());
      }))
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
            if (pending_ == Pending::Started)
                pending_ = Pending::None;
            reloadWhenReady();
            return;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
        case QWebEngineLoadingInfo::LoadFailedStatus: // the error page is the document then
            if (pending_ == Pending::Started)
                pending_ = Pending::None;
            raiseDocumentComplete(true, page_->url().toString(QUrl::FullyEncoded));
            reloadWhenReady();
            return;
        }
    });

    connect(page_, &WebPage::frameCompleted, this,
            [this](const QString& url) { raiseDocumentComplete(false, url); });
}

// The page goes before the profile that it uses. (With the sandbox off, as root, renderers started
// after two pages were deleted hang unless Chromium runs with --no-zygote: the scripts set it.)
WebEngineBrowser::~WebEngineBrowser()
{
    delete page_;
}

void WebEngineBrowser::load(const QWebEngineHttpRequest& request)
{
    pending_ = Pending::Requested;
    reloadWanted_ = false; // a reload asked for before this navigation was for the page it leaves
    page_->load(request);
}

void WebEngineBrowser::Navigate(const host::Request& asked)
{
    const QUrl url = toUrl(asked.url);
    const bool post = !asked.body.empty();
    if (!post && WebPage::IsOutsideAddress(url)) {
        page_->openOutside(url);
        return;
    }
    if (!post && (asked.flags & host::navNoHistory)) {
        // Qt has no load that replaces the current history entry; the page's own location.replace()
        // does, unless a load in progress swallows it, so that is stopped first.
        // location.replace() would send the page being left as Referer; a navigation of the
        // program's own sends none, as a typed address does not, so the page's policy is set first.
        page_->triggerAction(QWebEnginePage::Stop);
        pending_ = Pending::Requested;
        reloadWanted_ = false;
        // A document that has only just committed may have no element yet to hold the policy.
        page_->runJavaScript(
            QStringLiteral("try { var m = document.createElement('meta'); m.name = 'referrer';"
                           " m.content = 'no-referrer';"
                           " var holder = document.head || document.documentElement;"
                           " if (!holder) holder = document.appendChild(document.createElement('html'));"
                           " holder.appendChild(m); } catch (e) {} location.replace(%1);")
                .arg(jsString(url.toString())),
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
    load(request);
}

// A reload while the cache is being emptied can hang for ever, and a reload before the page we
// navigated to has ended cancels it and reloads the page being left. So the reload is made once
// both are over, without holding up the window meanwhile; a navigation of ours that comes first
// takes its place.
void WebEngineBrowser::Refresh2()
{
    reloadWanted_ = true;
    reloadWhenReady();
}

void WebEngineBrowser::reloadWhenReady()
{
    if (!reloadWanted_)
        return;
    if (cacheClearTime_.isValid()) {
        for (qsizetype i = cacheLeftovers_.size() - 1; i >= 0; --i)
            if (!QFileInfo::exists(cacheLeftovers_[i]))
                cacheLeftovers_.removeAt(i);
        const qint64 elapsed = cacheClearTime_.elapsed();
        if ((!cacheLeftovers_.isEmpty() || elapsed < kCacheClearSettleMs) && elapsed < kCacheClearBoundMs) {
            QTimer::singleShot(kCacheClearPollMs, this, &WebEngineBrowser::reloadWhenReady);
            return;
        }
        cacheLeftovers_.clear();
        cacheClearTime_.invalidate();
    }
    if (interrupted_.isValid()) { // asked for again from the server, which is the reload
        const QUrl url = std::exchange(interrupted_, QUrl());
        load(QWebEngineHttpRequest(url));
        return;
    }
    if (pending_ != Pending::None)
        return; // the end of our navigation asks again
    reloadWanted_ = false;
    page_->triggerAction(QWebEnginePage::Reload);
}

void WebEngineBrowser::contextMenuEvent(QContextMenuEvent* event)
{
    ShowPageMenu(*this, event->globalPos());
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
    // stopped here and asked for again once the clear is over.
    if (page_->isLoading()) {
        interrupted_ = page_->requestedUrl();
        page_->triggerAction(QWebEnginePage::Stop);
    }
    // Asynchronous, with no signal when done: the clear is over when the entries it found are gone.
    cacheLeftovers_ = cacheEntries(profile_);
    cacheClearTime_.start();
    profile_->clearHttpCache();
}

void WebEngineBrowser::SetOnOutsideAddress(OutsideAddressHandler handler)
{
    onOutsideAddress_ = std::move(handler);
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
    host::GuiPause::RunOutsidePause([self = QPointer(this), topLevel, url = url.toStdString()] {
        if (self && self->onDocumentComplete_)
            self->onDocumentComplete_(topLevel, url);
    });
}

} // namespace ostrel::web
