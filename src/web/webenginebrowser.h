// The embedded browser: a Qt WebEngine view that keeps the browser contract.
#pragma once

#include "host/browser.h"
#include "host/pause.h"
#include "web/errorpage.h"
#include "web/outsidelinks.h"
#include "web/pagemenu.h"
#include "web/trust.h"
#include "web/webpage.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>
#include <memory>
#include <optional>

class QWebEngineProfile;
class QAuthenticator;
class QPrinter;

namespace ostrel::web {

class BrowserProfile;

class WebEngineBrowser final : public QWebEngineView, public host::Browser {
    Q_OBJECT
public:
    // profile and pause: the program's, which outlive the view; insurerOrigins: the insurer's
    // compiled-in hosts, which its pages, windows and downloads trust.
    WebEngineBrowser(BrowserProfile& profile, host::Pause& pause, QList<QUrl> insurerOrigins, QWidget* parent);
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
    void SetOnPageOutsideAddress(host::Browser::OutsideAddressHandler handler) override;

    WebPage* webPage() const { return page_; }
    // Who asks, for this browser's page, the windows it opens and their downloads.
    web::Trust& trust() { return trust_; }
    // Names the desktop's program for a scheme, for the question before a link goes to it.
    void SetProgramNames(std::function<QString(const QString& scheme)> name);
    // The program's own entry, last in the page menu of this view and of the windows its page opens.
    void SetProgramMenuEntry(QString text, std::function<void()> run);

    // Our navigation has not got through after this long and the page's renderer has not answered
    // meanwhile: it is hung, not busy, and is ended, and the navigation made afresh. (A renderer
    // answered within 0.2 s at worst on any page of the stand-in, with both cores taken by other
    // work; a page whose script keeps it a second or two is busy, not hung.)
    static constexpr int kUnresponsiveMs = 5000;
    static constexpr int kPingMs = 500;

    // The print dialog for the current page (Ctrl+P, or the page's own window.print()).
    void PrintWithDialog();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void raiseDocumentComplete(bool topLevel, const QString& url);
    void load(const QWebEngineHttpRequest& request);
    bool askAgainIfDisplaced(const QWebEngineLoadingInfo& info);
    void endOurNavigation(const QWebEngineLoadingInfo& info);
    void reloadWhenReady();
    void showUnreachable(const QWebEngineLoadingInfo& info, Unreachable why);
    void retryUnreachable();
    void navigateNow(const host::Request& request);
    void holdForTheQuestion(bool lost);
    void endHoldWhenLanded();
    void retryWhenTheNetworkIsBack();
    void watchForAnUnresponsivePage();
    void pingRenderer(int watch);
    void endAnUnresponsivePage();

    QWebEngineProfile* profile_;
    host::Pause& pause_;
    std::unique_ptr<QPrinter> printer_; // lives until the engine has printed
    std::function<QString(const QString&)> programNames_;
    ProgramMenuEntry programEntry_; // shared with the windows the page opens
    Trust trust_;
    OutsideLinks outsideLinks_; // shared with the windows the page opens
    WebPage* page_;
    host::Browser::DocumentCompleteHandler onDocumentComplete_;
    host::Browser::OutsideAddressHandler onOutsideAddress_;
    host::Browser::OutsideAddressHandler onPageOutsideAddress_;
    enum class Pending { None, Requested, Started };
    Pending pending_ = Pending::None; // a navigation of ours that has not landed yet
    bool replacing_ = false;          // it goes by the page's own location.replace()
    int askedAgain_ = 0;              // times it was asked for again after a page's navigation took its place
    bool reloadWanted_ = false;       // Refresh2 was asked for and has not reloaded yet
    QStringList cacheLeftovers_;      // cache entries that the clear under way has not removed yet
    bool cacheCleared_ = true;        // from Qt 6.7 the engine says when a clear is done
    std::optional<host::Request> interrupted_; // ours the clear stopped or held back: made once it is over
    QElapsedTimer cacheClearTime_;
    host::Request lastRequest_; // our last navigation, to try again if it could not be reached
    struct Failed {
        host::Request request;
        Unreachable why;
    };
    std::optional<Failed> unreachable_; // shown on our error page
    bool watchingNetwork_ = false;
    // Our navigation that met a question no one could be asked yet (WebPage::questionPutOff): held
    // until the user can be asked, then asking, until it has landed.
    enum class Hold { None, Held, Asking };
    Hold hold_ = Hold::None;
    std::optional<host::Request> queued_; // ours asked for while one is held: made once it has landed
    int watches_ = 0;                     // our navigations so far, each watched while it is under way
    QElapsedTimer lastAnswer_;            // since the renderer last answered, or our navigation began
    qint64 watchedRenderer_ = 0;
};

} // namespace ostrel::web
