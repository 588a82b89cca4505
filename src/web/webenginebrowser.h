// The embedded browser: a Qt WebEngine view that keeps the browser contract.
#pragma once

#include "host/browser.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>
#include <memory>

class QWebEngineProfile;
class QAuthenticator;
class QPrinter;

namespace ostrel::web {

// Our page: the silent flag and frame completions live here.
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

class WebEngineBrowser final : public QWebEngineView, public host::Browser {
    Q_OBJECT
public:
    explicit WebEngineBrowser(QWidget* parent = nullptr);
    ~WebEngineBrowser() override;

    using Browser::Navigate;
    void Navigate(const host::Request& request) override;
    void Refresh2() override;
    void SetSilent(bool silent) override;
    bool Silent() const override;
    std::string DocumentUrl() const override;
    void SetOnDocumentComplete(host::Browser::DocumentCompleteHandler handler) override;

    void ClearCache() override;
    void SetOnOutsideAddress(host::Browser::OutsideAddressHandler handler) override;

    WebPage* webPage() const { return page_; }

    // The print dialog for the current page (Ctrl+P, or the page's own window.print()).
    void PrintWithDialog();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void raiseDocumentComplete(bool topLevel, const QString& url);
    void load(const QWebEngineHttpRequest& request);
    void reloadWhenReady();

    QWebEngineProfile* profile_;
    std::unique_ptr<QPrinter> printer_; // lives until the engine has printed
    WebPage* page_;
    host::Browser::DocumentCompleteHandler onDocumentComplete_;
    host::Browser::OutsideAddressHandler onOutsideAddress_;
    enum class Pending { None, Requested, Started };
    Pending pending_ = Pending::None; // a navigation of ours that has not landed yet
    bool reloadWanted_ = false;       // Refresh2 was asked for and has not reloaded yet
    QStringList cacheLeftovers_;      // cache entries that the clear under way has not removed yet
    QUrl interrupted_;                // a load that the clear stopped, to be asked for again
    QElapsedTimer cacheClearTime_;
};

} // namespace ostrel::web
