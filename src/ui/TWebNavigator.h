// The main window: the header panel of destination buttons over the embedded browser.
#pragma once

#include "app/startup.h"
#include "app/supportfacts.h"
#include "navigation/destinations.h"
#include "navigation/ftphandoff.h"
#include "navigation/portal.h"
#include "ui/bevel.h"
#include "ui/image.h"
#include "ui/panel.h"
#include "ui/transparentbutton.h"
#include "ui/urllabel.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QEvent;
class QMouseEvent;

namespace ostrel::host {
class ConnectionProbe;
struct Services;
} // namespace ostrel::host

namespace ostrel::web {
class Announcer;
class DownloadBar;
class BrowserProfile;
class FindBar;
class WebEngineBrowser;
} // namespace ostrel::web

namespace ostrel::ui {

class AboutWindow;
class Header;
class HeaderKeys;
class TApplicationEvents;
class WindowKeys;

class TWebNavigator final : public QWidget, public app::StartupWindow {
    Q_OBJECT
public:
    // profile: the program's browser profile, which outlives the window.
    TWebNavigator(host::Services& services, web::BrowserProfile& profile, QWidget* parent = nullptr);
    ~TWebNavigator() override;

    // The start-up sequence; runs once, after construction and before the window is first shown.
    void FormCreate();

    void SetCaption(const std::string& caption) override;
    std::string Caption() const override;
    void Maximise() override;
    void Minimise() override;
    void ApplyCompactLayout() override;
    void ShowIntranetButton() override;
    void EnableDiagnostics() override;
    void enableIE8Standard() override;

    web::WebEngineBrowser* WebBrowser;
    TPanel* PnlMenu;
    TJvTransparentButton* BtnFormulieren;
    TJvTransparentButton* BtnDownloads;
    TJvTransparentButton* BtnHome;
    TJvTransparentButton* BtnHelpdesk;
    TJvTransparentButton* BtnOWS;
    TJvTransparentButton* BtnOstrelWeb;
    TJvTransparentButton* BtnBestanden;
    TRzLabel* LblAdres;
    TRzURLLabel* LblUrl;
    TRzURLLabel* LblMail;
    TApplicationEvents* ApplicationEvents1;
    TJvTransparentButton* btnTeamviewer;
    TJvTransparentButton* btnCalculator;
    TJvTransparentButton* btnPolisvoorwaarden;
    TJvTransparentButton* btnPortaal;
    TBevel* bvl1;
    TJvImage* JvImage1;
    TBevel* bvl2;
    TJvTransparentButton* btnIntranet;
    TJvTransparentButton* btnPIM;
    TJvTransparentButton* JvTransparentButton1;

    // The click of every header control.
    void JvXPButton6Click();
    void Button1Click();
    void BtnFormulierenClick();
    void BtnBestandenClick();
    void BtnOstrelWebClick();
    void JvXPButton3Click();
    void btnPIMClick();
    void JvXPButton5Click();
    void btnTeamviewerClick();
    void btnPolisvoorwaardenClick();
    void btnPortaalClick();
    void btnIntranetClick();
    void btnCalculatorClick();
    void JvTransparentButton1lick();
    void JvImage1Click();

    // The small text buttons underline their caption while the pointer is over them.
    void btnPIMMouseEnter();
    void btnPIMMouseLeave();
    void BtnHelpdeskMouseEnter();
    void BtnHelpdeskMouseLeave();
    void btnTeamviewerMouseEnter();
    void btnTeamviewerMouseLeave();
    void btnPolisvoorwaardenMouseEnter();
    void btnPolisvoorwaardenMouseLeave();
    void btnPortaalMouseEnter();
    void btnPortaalMouseLeave();
    void btnIntranetMouseEnter();
    void btnIntranetMouseLeave();
    void btnCalculatorMouseEnter();
    void btnCalculatorMouseLeave();

    void PnlMenuMouseDown(QMouseEvent* event);

    // Every event of the application passes here first (see ui/windowkeys.h).
    void ApplicationEvents1Message(QObject* target, QEvent* event, bool& Handled);
    void WebBrowserDocumentComplete(bool topLevel, const std::string& url);

    // "Over Ostrel Web" from the page menu: the support window, or the open one raised.
    void ShowAbout();

private:
    void bindHeader();
    // The one way a header control's action runs: its click, its function key, the header's
    // keyboard route and a screen reader's press all come here.
    void runControl(Control control);
    void openFindBar();
    void supportFactsChanged();

    host::Services& services_;
    Header* header_;
    HeaderKeys* headerKeys_;
    web::FindBar* findBar_ = nullptr;
    web::Announcer* announcer_;
    web::DownloadBar* downloads_;
    app::SupportFacts facts_;                         // for the support window, as the program runs
    std::unique_ptr<host::ConnectionProbe> probeLog_; // the gateway probes, each kept in facts_
    QPointer<AboutWindow> about_;
    navigation::PortalRequests portal_;
    navigation::Commands commands_;
    navigation::FtpHandOff ftpHandOff_;
    std::unique_ptr<WindowKeys> keys_;
    bool compactMode_ = false; // set once by the "light" switch; while set, F2 and F4 do nothing
};

} // namespace ostrel::ui
