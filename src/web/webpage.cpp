#include "web/webpage.h"

#include "host/endprocess.h"
#include "host/failurelog.h"
#include "host/pause.h"
#include "web/blockedwindowbar.h"
#include "web/browserprofile.h"
#include "web/errorpage.h"
#include "web/outsidelinks.h"
#include "web/pagedialog.h"
#include "web/popupwindow.h"
#include "web/trust.h"

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

bool IsLocalAddress(const QUrl& url)
{
    static const QStringList kSchemes{QStringLiteral("file"), QStringLiteral("data"), QStringLiteral("blob"),
                                      QStringLiteral("filesystem")};
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

} // namespace

// A JavaScript string literal holding text, escaped by the JSON writer.
QString JsString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

WebPage::WebPage(const PageContext& context, QObject* parent)
    : QWebEnginePage(context.profile.engine(), parent), context_(context), logins_(new PageLogins(*this)),
      scriptToken_(QUuid::createUuid().toString(QUuid::Id128))
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
    connect(this, &QWebEnginePage::authenticationRequired, logins_, &PageLogins::ForSite);
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, logins_, &PageLogins::ForProxy);
    connect(this, &QWebEnginePage::selectClientCertificate, logins_, &PageLogins::ChooseCertificate);
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
            for (Repeats* kind : {&messages_, &loginQuestions_}) {
                kind->off = false;
                kind->last.invalidate();
            }
            logins_->LoadStarted();
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

bool WebPage::mayAsk() const
{
    return context_.trust.Ask({url(), {}, view()}).mayAsk;
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
    // The engine keeps a page's own navigations off the disk; a window of ours is no way round it.
    // Only file: here, not every IsLocalAddress: a page's window of its own making (blob:, data:, a
    // PDF it built) is the page's, while the page menu, which loads as the user, opens none of them.
    if (url.isLocalFile()) {
        qCWarning(lcFailures, "a window for a file of the disk was not opened: %s",
                  qPrintable(url.toString()));
        return;
    }
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
            BlockedWindowBar::Show(shown, url, [context = context_](const QUrl& address) {
                PopupWindow::Open(context, true)->load(address);
            });
        return;
    }
    request.openIn(PopupWindow::Open(context_, clicked));
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
        if (isMainFrame && context_.links.HandOff(url, this->url()))
            return false;
        if (isMainFrame && type == NavigationTypeLinkClicked)
            outsideLink(url);
        return false;
    }
    if (isMainFrame && type != NavigationTypeReload && type != NavigationTypeRedirect)
        ++visit_;
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

// The report of the user's click on the link and the navigation come in either order.
void WebPage::outsideLink(const QUrl& url)
{
    if (linkClicks_.Navigated(url))
        context_.links.Clicked(view(), url);
}

// Scripts of ours, in the application's own script world where the page's scripts cannot
// reach them: loadFinished covers the top-level frame only, so every other frame reports its
// completion; and the top-level page reports that it is there, before any script of its own runs
// (urlChanged is no sign: Qt 6.8 tells it after the page's first scripts have asked their
// questions), and each link the user himself clicked (a script's click is not trusted), which is
// what may hand a link to another program.
void WebPage::installPageScripts()
{
    const QString token = JsString(scriptToken_ + QLatin1Char(' '));
    insertScript(QStringLiteral("ostrel-frame-complete"), true,
                 QStringLiteral("if (window !== window.top) window.addEventListener('load', function () {"
                                " console.log(%1 + 'frame ' + document.URL); });")
                     .arg(token));
    insertScript(QStringLiteral("ostrel-link-clicks"), false,
                 QStringLiteral("console.log(%1 + 'document');"
                                " window.addEventListener('click', function (e) {"
                                " if (!e.isTrusted) return;"
                                " var t = e.composedPath()[0];"
                                " if (t && t.nodeType !== 1) t = t.parentElement;"
                                " var a = t && t.closest('a[href], area[href]');"
                                " if (a) console.log(%1 + 'link ' + a.href); }, true);")
                     .arg(token));
    // The engine draws the keyboard's focus ring in its default orange (2.4:1 on white); this is
    // the near-black of the browsers (19:1, with the engine's own white edge on dark pages), at
    // no weight at all: any rule of the page's own about the outline wins. In forced colours
    // (--force-high-contrast) the engine makes every ring its light highlight colour, 1.5:1 on the
    // white it makes the page: there the ring is the text's colour, whatever the page says.
    insertScript(
        QStringLiteral("ostrel-focus-ring"), true,
        QStringLiteral("(function () { var s = new CSSStyleSheet();"
                       " s.replaceSync(':where(:focus-visible) { outline-color: #101010 }"
                       " @media (forced-colors: active) {"
                       " :focus-visible { outline-color: CanvasText !important } }');"
                       " document.adoptedStyleSheets = document.adoptedStyleSheets.concat([s]); })();"));
}

// At the document's creation, in the application's own world.
void WebPage::insertScript(const QString& name, bool subFrames, const QString& source)
{
    QWebEngineScript script;
    script.setName(name);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(subFrames);
    script.setSourceCode(source);
    scripts().insert(script);
}

// (A dialog's nested event loop drops the Quit that closing the last window has posted: with Qt 6.8
// a page asking again and again would keep the program from ending.)
PageDialog::Answer WebPage::Ask(const QUrl& origin, PageDialog::Question question, Kind kind)
{
    // A login may be the next page's own: only the page's messages end with the page.
    const bool login = kind == Kind::Login;
    Repeats& repeats = login ? loginQuestions_ : messages_;
    if (silent || (!login && beingLeft()) || repeats.off || !mayAsk())
        return {};
    if (question.heading.isEmpty()) {
        QString host = origin.host();
        if (origin.port() > 0)
            host += QStringLiteral(":%1").arg(origin.port());
        question.heading =
            host.isEmpty() ? QStringLiteral("Deze pagina meldt:") : host + QStringLiteral(" meldt:");
    }
    if (repeats.last.isValid() && repeats.last.elapsed() < kRepeatedDialogMs)
        question.option = repeats.option;
    PageDialog::Answer answer = PageDialog::Ask(view(), question);
    repeats.last.start();
    repeats.off = repeats.off || answer.option;
    return answer;
}

void WebPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    PageDialog::Question question;
    question.text = msg;
    Ask(securityOrigin, question);
}

// Also asked before a page is left (beforeunload): a page that may not ask is let go; otherwise
// the user chooses.
bool WebPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    PageDialog::Question question;
    question.cancel = true;
    if (!isLeaveQuestion(msg)) {
        question.text = msg;
        return Ask(securityOrigin, question).accepted;
    }
    if (silent || beingLeft() || messages_.off || context_.pause.Active())
        return true;
    question.text =
        QStringLiteral("Deze pagina verlaten? Wat u hebt ingevuld, is dan misschien niet bewaard.");
    question.acceptText = QStringLiteral("Verlaten");
    question.cancelText = QStringLiteral("Blijven");
    return Ask(securityOrigin, question).accepted;
}

bool WebPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                               QString* result)
{
    PageDialog::Question question;
    question.text = msg;
    question.cancel = true;
    question.input = true;
    question.inputText = defaultValue;
    const PageDialog::Answer answer = Ask(securityOrigin, question);
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
    else if (report.startsWith(u"link ")) {
        const QUrl link(report.mid(5).toString());
        if (linkClicks_.Clicked(link))
            context_.links.Clicked(view(), link);
    } else if (report == u"document")
        leaving_ = Leaving::No; // the page the program took it to is there: it may ask
}

} // namespace ostrel::web
