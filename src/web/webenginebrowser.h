// The embedded browser: a Qt WebEngine view that keeps the browser contract.
#pragma once

#include "host/browser.h"
#include "host/pause.h"
#include "web/errorpage.h"
#include "web/ournavigation.h"
#include "web/outsidelinks.h"
#include "web/pagemenu.h"
#include "web/rendererwatch.h"
#include "web/trust.h"
#include "web/webpage.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>
#include <memory>
#include <optional>

class QWebEngineProfile;
class QAuthenticator;
class QPrintDialog;
class QPrinter;

namespace ostrel::web {

class BrowserProfile;

class WebEngineBrowser final : public QWebEngineView, public host::Browser {
    Q_OBJECT
public:
    // profile and pause: the program's, which outlive the view; insurerOrigins: the insurer's
    // compiled-in hosts, which its pages, windows and downloads trust.
    WebEngineBrowser(BrowserProfile& profile, host::Pause& pause, QList<QUrl> insurerOrigins,
                     QWidget* parent);
    ~WebEngineBrowser() override;

    using Browser::Navigate;
    void Navigate(const host::Request& asked) override;
    void Refresh2() override;
    void SetSilent(bool silent) override;
    bool Silent() const override;
    std::string DocumentUrl() const override;
    void SetOnDocumentComplete(host::Browser::DocumentCompleteHandler handler) override;

    void ClearCache() override;
    void SetOnOutsideAddress(OutsideAddressHandler handler) override
    {
        onOutsideAddress_ = std::move(handler);
    }
    void SetOnPageOutsideAddress(OutsideAddressHandler handler) override
    {
        onPageOutsideAddress_ = std::move(handler);
    }

    WebPage* webPage() const { return page_; }
    // Who asks, for this browser's page, the windows it opens and their downloads.
    web::Trust& trust() { return trust_; }
    // Names the desktop's program for a scheme, for the question before a link goes to it.
    void SetProgramNames(std::function<QString(const QString& scheme)> name);
    // The program's own entry, last in the page menu of this view and of the windows its page opens.
    void SetProgramMenuEntry(QString text, std::function<void()> run);

    // The print dialog for the current page (Ctrl+P, or the page's own window.print()).
    void PrintWithDialog();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void raiseDocumentComplete(bool topLevel, const QString& url);
    void carryOut(const OurNavigation::Decision& decision);
    bool clearGoesOn();
    void showUnreachable(const QWebEngineLoadingInfo& info, Unreachable why);
    void retryUnreachable();
    void navigateNow(const host::Request& asked);
    void retryWhenTheNetworkIsBack();

    QWebEngineProfile* profile_;
    host::Pause& pause_;
    std::unique_ptr<QPrinter> printer_; // lives until the engine has printed
    QPointer<QPrintDialog> printDialog_; // asking the user, over the page
    bool printing_ = false;
    std::function<QString(const QString&)> programNames_;
    ProgramMenuEntry programEntry_; // shared with the windows the page opens
    Trust trust_;
    OutsideLinks outsideLinks_; // shared with the windows the page opens
    WebPage* page_;
    host::Browser::DocumentCompleteHandler onDocumentComplete_;
    host::Browser::OutsideAddressHandler onOutsideAddress_;
    host::Browser::OutsideAddressHandler onPageOutsideAddress_;
    OurNavigation nav_; // the rules of our navigations, reloads and cache clears
    RendererWatch watch_;
    QStringList cacheLeftovers_;   // cache entries that the clear under way has not removed yet
    bool cacheCleared_ = true;     // from Qt 6.7 the engine says when a clear is done
    QElapsedTimer cacheClearTime_; // since the last clear began
    struct Failed {
        host::Request request;
        Unreachable why;
    };
    std::optional<Failed> unreachable_; // shown on our error page
    bool watchingNetwork_ = false;
};

} // namespace ostrel::web
