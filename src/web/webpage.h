// Our page: what every page of the program does, in the main window and in the windows pages open.
#pragma once

#include <QString>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>

class QAuthenticator;
class QWebEngineProfile;

namespace ostrel::web {

// The silent flag and frame completions live here.
class WebPage : public QWebEnginePage {
    Q_OBJECT
public:
    // Where an address goes that the engine cannot open itself (ftp://): the desktop's handler.
    using OutsideHandler = std::function<void(const QUrl&)>;

    WebPage(QWebEngineProfile* profile, QObject* parent, OutsideHandler openOutside = {});

    bool silent = false;
    OutsideHandler openOutside; // shared with the windows this page opens

    // True for an address that only the desktop can open (the engine cannot load ftp:// at all).
    static bool IsOutsideAddress(const QUrl& url);

    // A page whose renderer dies is reloaded at most this often for the same address.
    static constexpr int kCrashReloads = 3;

signals:
    void frameCompleted(const QString& url);
    // The error page's "Opnieuw proberen".
    void retryRequested();

protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    // Links with a target and window.open() open a window of ours on the same profile.
    QWebEnginePage* createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    void installFrameReporter();
    void askForLogin(const QUrl& url, QAuthenticator* authenticator);
    void recoverFromCrash(RenderProcessTerminationStatus status);

    QString frameToken_; // proves that a frame report comes from our script, not from a page
    QUrl crashedUrl_;
    int crashReloads_ = 0;
};

// Where the program's browser windows keep their cookies and cache: one profile for the process.
QWebEngineProfile* BrowserProfile();

// A JavaScript string literal holding text, escaped by the JSON writer.
QString JsString(const QString& text);

} // namespace ostrel::web
