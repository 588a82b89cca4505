#include "web/webpage.h"

#include "web/errorpage.h"
#include "web/logindialog.h"
#include "web/popupwindow.h"

#include <QAuthenticator>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QUuid>
#include <QWebEngineCertificateError>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <utility>

namespace ostrel::web {

namespace {

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

} // namespace

// A JavaScript string literal holding text, escaped by the JSON writer.
QString JsString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

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
    return PopupWindow::Open(profile(), openOutside);
}

// The engine cannot load ftp:// at all: such a navigation would leave the page where it was and
// say nothing. The desktop's handler for the scheme gets it instead, once per request.
bool WebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (url.scheme() == QLatin1String(kRetryScheme)) {
        if (isMainFrame)
            emit retryRequested();
        return false;
    }
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
            .arg(JsString(frameToken_ + QLatin1Char(' '))));
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

} // namespace ostrel::web
