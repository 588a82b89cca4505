// Our page: what every page of the program does, in the main window and in the windows pages open.
// A page acts only inside itself: its dialogs sit over the page and can be turned off, its windows
// stay on the screen and come only so many without a click, and a link for another program goes
// out only when the user clicked it and said yes (outsidelinks.h).
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <QWebEngineClientCertificateSelection>
#include <QWebEnginePage>

#include "web/linkclicks.h"
#include "web/pagedialog.h"
#include "web/pagelogins.h"

#include <functional>
#include <utility>

class QAuthenticator;
class QWebEngineNewWindowRequest;
class QWebEngineProfile;
class QWebEngineView;

namespace ostrel::web {

} // namespace ostrel::web

namespace ostrel::host {
class Pause;
}

namespace ostrel::web {

class BrowserProfile;
class OutsideLinks;
class Trust;
struct ProgramMenuEntry;

// What the main window's page shares with the windows it opens, and they with theirs.
struct PageContext {
    BrowserProfile& profile;
    Trust& trust;                                   // who asks
    OutsideLinks& links;                            // where the links for other programs go
    host::Pause& pause;                             // the program's: no question while it lasts
    const ProgramMenuEntry* programEntry = nullptr; // the program's entry of the page menu
    const QWidget* mainView = nullptr; // the main window's page: windows of pages keep off what is above it
};

// The silent flag and frame completions live here.
class WebPage : public QWebEnginePage {
    Q_OBJECT
public:
    // parent: the view that shows the page.
    WebPage(const PageContext& context, QObject* parent);

    bool silent = false;
    const PageContext& context() const { return context_; }
    PageLogins& logins() { return *logins_; }
    QWebEngineView* view() const;

    // The program takes the page elsewhere: its open dialog goes, and the dialogs it asks for until
    // the next page is there are answered at once as if cancelled. A load that ends without a new
    // page (stopped, an empty answer, a download) leaves the page as it was, asking again. byLoad:
    // the program loads the next page itself, and the end of any load ends the leaving (the engine
    // reports no start of ours when it cut a load short and brought nothing); otherwise the page
    // goes itself (location.replace, a reload), and the load must have started.
    void Leave(bool byLoad = false);
    // Ends the page's renderer, which no longer answers; then() runs instead of the crash recovery.
    void EndUnresponsiveRenderer(std::function<void()> then);

    // A page whose renderer dies is reloaded at most this often for the same address.
    static constexpr int kCrashReloads = 3;
    // From a dialog that comes this soon after the page's previous one, the user may turn them off.
    static constexpr int kRepeatedDialogMs = 5000;
    // Windows opened without a click that may be open at once; later ones are blocked.
    static constexpr int kWindowsWithoutClick = 3;
    // How often WhenMayAsk looks again.
    static constexpr int kWhenMayAskPollMs = 20;

    // The page's visit: it changes when the page goes to another address, not when it is reloaded or
    // redirected on the way.
    quint64 Visit() const { return visit_; }

    // Whether a question may go to the user now: the page's window is on the screen and the program
    // is not in a pause (the start-up's shows its window only after its pause).
    bool mayAsk() const;
    // Runs fn once a question may go to the user (at once, if it may now).
    void WhenMayAsk(std::function<void()> fn);

    // The kinds of question a page can raise again and again; each the user can turn off apart.
    enum class Kind { Message, Login };
    // A question of the page's, over the page (pagedialog.h), under a heading that says who asks
    // (origin's host, unless the question has one). Not shown while silent, while no question may
    // go to the user, once the user turned the kind off, or, for a message, while the program takes
    // the page elsewhere: then it is answered at once as if cancelled.
    PageDialog::Answer Ask(const QUrl& origin, PageDialog::Question question, Kind kind = Kind::Message);

signals:
    void frameCompleted(const QString& url);
    // The error page's "Opnieuw proberen".
    void retryRequested();
    // A login or certificate was asked for while no question may go to the user (mayAsk). lost: a
    // login, which the engine wants at once, was cancelled, and what the page was loading is to be
    // asked for again once the user can be asked; otherwise the engine waits for the held question.
    void questionPutOff(bool lost);

protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    // None: new windows come through newWindowRequested, which says whether the user clicked.
    QWebEnginePage* createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    // What the user says of one kind of question: from the second within kRepeatedDialogMs on, they
    // may turn it off until the next page.
    struct Repeats {
        explicit Repeats(QString offer) : option(std::move(offer)) {}
        QString option;     // the offer to turn it off
        QElapsedTimer last; // when the last one closed
        bool off = false;
    };
    bool beingLeft();
    void installPageScripts();
    void insertScript(const QString& name, bool subFrames, const QString& source);
    void recoverFromCrash(RenderProcessTerminationStatus status);
    void openWindow(QWebEngineNewWindowRequest& request);
    void outsideLink(const QUrl& url);

    PageContext context_;
    PageLogins* logins_;
    QString scriptToken_; // proves that a report comes from our scripts, not from a page
    QUrl crashedUrl_;
    int crashReloads_ = 0;
    std::function<void()> afterEnd_;
    enum class Leaving { No, Asked, Loading }; // Leave() was asked; the load it brought is under way
    Leaving leaving_ = Leaving::No;
    bool byLoad_ = false;
    quint64 visit_ = 0;
    Repeats messages_{QStringLiteral("Geen meldingen meer van deze pagina")};
    Repeats loginQuestions_{QStringLiteral("Geen vragen meer van deze pagina")};
    LinkClicks linkClicks_;
};

// A JavaScript string literal holding text, escaped by the JSON writer.
QString JsString(const QString& text);
// Whether the engine shows an address of this scheme itself; any other is refused (and may be
// handed to the desktop).
bool IsWebScheme(const QUrl& url);
// Whether the address is one of the machine's or of the page's own making (file:, data:, blob:,
// filesystem:), not one the network serves: no page opens or saves such an address through us.
bool IsLocalAddress(const QUrl& url);

} // namespace ostrel::web
