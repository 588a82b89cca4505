#include "host/webenginebrowser.h"

#include "host/guipause.h"
#include "host/logindialog.h"
#include "host/popupwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QAuthenticator>
#include <QTimer>
#include <QUuid>
#include <QWebEngineCertificateError>
#include <QWebEngineSettings>
#include <QWebEngineHttpRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace ostrel::host {

namespace {

constexpr int kRefreshWaitMs = 10000;

bool cacheIsEmpty(const QWebEngineProfile* profile)
{
    QDirIterator files(profile->cachePath(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        // Chromium keeps its index files; the entries themselves are what a clear removes.
        if (!files.fileName().startsWith(QLatin1String("index")))
            return false;
    }
    return true;
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

WebPage::WebPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent), frameToken_(QUuid::createUuid().toString(QUuid::Id128))
{
    installFrameReporter();
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
    const QString text = QStringLiteral(
        "<!DOCTYPE html><html><head><meta charset=utf-8><title>Pagina gestopt</title></head>"
        "<body style='font-family:sans-serif;margin:2em'><h1>Deze pagina is gestopt</h1>"
        "<p>De pagina %1 is %2 keer achter elkaar vastgelopen.</p>"
        "<p><a href='%1'>Opnieuw laden</a></p></body></html>");
    QTimer::singleShot(0, this, [this, address, text] {
        setHtml(text.arg(address.toString(QUrl::FullyEncoded).toHtmlEscaped()).arg(kCrashReloads + 1), address);
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
    return PopupWindow::Open(profile());
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
    script.setSourceCode(QStringLiteral("if (window !== window.top) window.addEventListener('load', function () {"
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
    : QWebEngineView(parent), profile_(BrowserProfile()), page_(new WebPage(profile_, this))
{
    setPage(page_);
    // A page cannot close the main window's browser: its window.close() asks, and nobody listens.
    connect(page_, &QWebEnginePage::printRequested, this, &WebEngineBrowser::PrintWithDialog);
    // Our navigation has landed when the load that started after it has finished, whatever its
    // address (a redirect) or outcome; the late report of the load before it does not count.
    // (urlChanged is no sign: for a page's own location.replace() it comes before the commit.)
    connect(page_, &QWebEnginePage::loadStarted, this, [this] {
        if (pending_ == Pending::Requested)
            pending_ = Pending::Started;
    });
    connect(page_, &QWebEnginePage::loadFinished, this, [this] {
        if (pending_ == Pending::Started)
            pending_ = Pending::None;
        raiseDocumentComplete(true, page_->url().toString(QUrl::FullyEncoded));
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
    page_->load(request);
}

void WebEngineBrowser::Navigate(const std::string& url)
{
    load(QWebEngineHttpRequest(toUrl(url)));
}

void WebEngineBrowser::Navigate(const std::string& url, int flags)
{
    if (flags & navNoHistory) {
        // Qt has no load that replaces the current history entry; the page's own location.replace()
        // does, unless a load in progress swallows it, so that is stopped first.
        page_->triggerAction(QWebEnginePage::Stop);
        pending_ = Pending::Requested;
        page_->runJavaScript(QStringLiteral("location.replace(%1);").arg(jsString(toUrl(url).toString())),
                             QWebEngineScript::ApplicationWorld);
        return;
    }
    if (flags & navNoReadFromCache) {
        // A plain load may be answered from the HTTP cache; with these headers Chromium asks the server.
        QWebEngineHttpRequest request(toUrl(url));
        request.setHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache"));
        request.setHeader(QByteArrayLiteral("Pragma"), QByteArrayLiteral("no-cache"));
        load(request);
        return;
    }
    Navigate(url);
}

void WebEngineBrowser::Navigate(const std::string& url, const std::vector<std::uint8_t>& postData,
                                const std::string& headers)
{
    // Built by hand: QWebEngineHttpRequest::postRequest() sorts the fields and sends no Content-Type.
    QWebEngineHttpRequest request(toUrl(url), QWebEngineHttpRequest::Post);
    request.setPostData(QByteArray(reinterpret_cast<const char*>(postData.data()),
                                   static_cast<qsizetype>(postData.size())));
    const QByteArray lines = QByteArray::fromStdString(headers);
    for (const QByteArray& line : lines.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.setHeader(line.left(colon).trimmed(), line.mid(colon + 1).trimmed());
    }
    load(request);
}

void WebEngineBrowser::Refresh2()
{
    // A reload while the cache is being emptied can hang for ever, and a reload before the page we
    // navigated to has committed cancels it and reloads the page being left: wait for both first,
    // taking no input, for a bounded time.
    GuiPause::WaitUntil([this] { return !clearingCache_ || cacheIsEmpty(profile_); }, kRefreshWaitMs);
    clearingCache_ = false;
    GuiPause::WaitUntil([this] { return pending_ == Pending::None; }, kRefreshWaitMs);
    page_->triggerAction(QWebEnginePage::Reload);
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
    connect(this, &QWebEngineView::printFinished, this, [this] { printer_.reset(); }, Qt::SingleShotConnection);
    print(printer_.get());
}

void WebEngineBrowser::ClearHttpCache()
{
    // Asynchronous, with no signal when done; Refresh2 watches the cache folder empty instead.
    clearingCache_ = true;
    profile_->clearHttpCache();
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
    GuiPause::RunOutsidePause([self = QPointer(this), topLevel, url = url.toStdString()] {
        if (self && self->onDocumentComplete_)
            self->onDocumentComplete_(topLevel, url);
    });
}

} // namespace ostrel::host
