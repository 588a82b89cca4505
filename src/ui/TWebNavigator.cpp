#include "ui/TWebNavigator.h"

#include "app/browseremulation.h"
#include "app/switches.h"
#include "base/version.h"
#include "host/centring.h"
#include "host/failurelog.h"
#include "host/proxies.h"
#include "host/services.h"
#include "navigation/addresses.h"
#include "navigation/ftphandoff.h"
#include "ui/TApplication.h"
#include "ui/aboutwindow.h"
#include "ui/closequestion.h"
#include "ui/headerkeys.h"
#include "ui/headerlayout.h"
#include "ui/keepmaximised.h"
#include "ui/windowkeys.h"
#include "web/announcer.h"
#include "web/blockedwindowbar.h"
#include "web/browserprofile.h"
#include "web/downloadbar.h"
#include "web/findbar.h"
#include "web/versions.h"
#include "web/webenginebrowser.h"

#include <QEvent>
#include <QTime>
#include <QVBoxLayout>

#include <utility>

namespace ostrel::ui {

namespace {
const QColor kHeaderColour(44, 106, 149);
constexpr QSize kRestoredClientSize(1259, 841);
// The smallest window keeps the whole header in one row, where the screen holds it.
constexpr QSize kMinimumClientSize(kDesignPanelWidth, 761);
constexpr int kWindowFontHeight = 14;

QList<QUrl> insurerOrigins()
{
    QList<QUrl> insurer;
    for (const std::string_view address : navigation::InsurerAddresses())
        insurer.append(QUrl(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size()))));
    return insurer;
}

// The addresses the support window tells the way to: the portal and the gateways.
QList<std::pair<QString, QUrl>> supportedAddresses()
{
    return {{QStringLiteral("portaal"),
             QUrl(QString::fromUtf8(addresses::kPortalUrl.data(), qsizetype(addresses::kPortalUrl.size())))},
            {QStringLiteral("gateway 1"), QUrl(QString::fromStdString(navigation::PrimaryGatewayUrl()))},
            {QStringLiteral("gateway 2"), QUrl(QString::fromStdString(navigation::SecondaryGatewayUrl()))}};
}

// The gateway probes as the program asks them, each kept with the local time it was asked.
class ProbeLog final : public host::ConnectionProbe {
public:
    ProbeLog(host::ConnectionProbe& probe, std::function<void(app::ProbeRecord)> keep)
        : probe_(probe), keep_(std::move(keep))
    {
    }
    int Probe(const std::string& url) override
    {
        const QString asked = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
        const int status = probe_.Probe(url);
        keep_({asked.toStdString(), url, status});
        return status;
    }

private:
    host::ConnectionProbe& probe_;
    std::function<void(app::ProbeRecord)> keep_;
};
} // namespace

TWebNavigator::TWebNavigator(host::Services& services, web::BrowserProfile& profile, QWidget* parent)
    : QWidget(parent),
      WebBrowser(new web::WebEngineBrowser(profile, *services.pause, insurerOrigins(), this)),
      PnlMenu(new TPanel(this, kHeaderColour)), services_(services),
      header_(new Header(PnlMenu, *services.shell)),
      probeLog_(std::make_unique<ProbeLog>(*services.probe,
                                           [this](app::ProbeRecord probe) {
                                               facts_.RecordProbe(std::move(probe));
                                               supportFactsChanged();
                                           })),
      portal_(*WebBrowser, *services.registry), commands_({*WebBrowser, *services.registry, *services.shell,
                                                           *services.pause, *probeLog_, *services.messages})
{
    profile.KeepStoredDataOnlyOf(insurerOrigins()); // before the first page
    setWindowTitle(QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()));
    setFont(HeaderFont(kWindowFontHeight));
    WebBrowser->setFocusPolicy(Qt::ClickFocus); // out of the Tab chain; the page handles Tab itself

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PnlMenu);
    layout->addWidget(WebBrowser, 1);
    downloads_ = new web::DownloadBar(this, profile, *services.shell, WebBrowser->trust());
    layout->addWidget(downloads_);
    new CloseQuestion(this, [this] { return downloads_->MayQuit(); }); // downloads still coming in
    new KeepMaximised(this);

    host::KeepMinimumOnScreen(*this, kMinimumClientSize);
    host::FitFrameOnScreen(*this, kRestoredClientSize);

    bindHeader();
    PnlMenu->setAccessibleName(QStringLiteral("Bestemmingen"));
    headerKeys_ = new HeaderKeys(*header_, PnlMenu);
    headerKeys_->OnLeave = [this] { web::GiveFocusBack(WebBrowser); };
    keys_ = std::make_unique<WindowKeys>(WindowKeys::Parts{
        .window = this,
        .browser = WebBrowser,
        .runControl = [this](Control control) { runControl(control); },
        .compact = [this] { return compactMode_; },
        .userActed = [this] { WebBrowser->trust().UserActed(); },
        .inHeader = [this](const QObject* widget) { return headerKeys_->Holds(widget); },
        .enterHeader = [this](bool atTheEnd) { headerKeys_->Enter(atTheEnd); },
        .bars =
            [this] {
                return QList<QWidget*>{web::ViewOverlay::Over<web::BlockedWindowBar>(WebBrowser).value(0),
                                       findBar_, downloads_};
            },
        .print = [this] { WebBrowser->PrintWithDialog(); },
        .find = [this] { openFindBar(); },
        .pageAction = [this](QWebEnginePage::WebAction action) { WebBrowser->triggerPageAction(action); },
        .loading = [this] { return WebBrowser->page()->isLoading(); },
        .zoom = [this] { return WebBrowser->zoomFactor(); },
        .setZoom = [this](double factor) { WebBrowser->setZoomFactor(factor); },
    });
    ApplicationEvents1 = new TApplicationEvents(this);
    ApplicationEvents1->OnMessage = [this](QObject* target, QEvent* event, bool& handled) {
        ApplicationEvents1Message(target, event, handled);
    };
    announcer_ = new web::Announcer(this);
    // Every page that has loaded is said, as a browser's reader says it: Qt's bridge passes the
    // engine's document-loaded event on to no reader.
    connect(WebBrowser, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (ok)
            announcer_->Say(WebBrowser->title() + QStringLiteral(" geladen"));
    });
    WebBrowser->SetOnDocumentComplete([this](bool topLevel, const std::string& url) {
        TApplication::Guarded([&] { WebBrowserDocumentComplete(topLevel, url); });
    });
    WebBrowser->SetOnOutsideAddress([this](const std::string& url) { services_.shell->OpenUrl(url); });
    WebBrowser->SetOnPageOutsideAddress([this](const std::string& url) {
        TApplication::Guarded([&] { ftpHandOff_.PageWentTo(*WebBrowser, url); });
    });
    WebBrowser->SetProgramNames([this](const QString& scheme) {
        return QString::fromStdString(services_.shell->ProgramForScheme(scheme.toStdString()));
    });

    // What the support window tells, kept as the parts that know it report it.
    facts_.versions = web::VersionsText().toStdString();
    portal_.SetOnCitrixLookup([this](const navigation::CitrixLookup& found) {
        facts_.citrix = found;
        supportFactsChanged();
    });
    const QString title = QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size());
    WebBrowser->SetProgramMenuEntry(QStringLiteral("Over ") + title,
                                    [this] { TApplication::Guarded([this] { ShowAbout(); }); });
}

void TWebNavigator::ShowAbout()
{
    if (about_) {
        about_->Refresh();
    } else {
        // The store reads its file anew at every key opened: it is asked how the last reading went.
        about_ = new AboutWindow(this, [this] {
            facts_.store = services_.registry->StoreStatus();
            if (services_.proxies)
                facts_.proxies = services_.proxies->Describe(supportedAddresses()).toStdString();
            return QString::fromStdString(app::SupportText(facts_));
        });
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void TWebNavigator::supportFactsChanged()
{
    if (about_)
        about_->Refresh();
}

// The application's events stop coming here before the parts they are handed to go: the members
// go before QWidget's destructor, which hides the window and deletes the children.
TWebNavigator::~TWebNavigator()
{
    delete ApplicationEvents1;
}

void TWebNavigator::FormCreate()
{
    app::RunStartupSequence(*this,
                            {portal_, *WebBrowser, *services_.pause, *services_.account, services_.process});
}

void TWebNavigator::SetCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

std::string TWebNavigator::Caption() const
{
    return windowTitle().toStdString();
}

void TWebNavigator::Maximise()
{
    // On a window not yet shown Qt makes its native window here (4-6 ms), as showing it would.
    setWindowState(windowState() | Qt::WindowMaximized);
}

// The main window is the application's only window when this runs; the maximised flag stays, so
// a restore brings it back maximised.
void TWebNavigator::Minimise()
{
    setWindowState(windowState() | Qt::WindowMinimized);
}

void TWebNavigator::openFindBar()
{
    if (!findBar_) { // made when first wanted: its line edit and buttons cost 10 ms at start
        auto* column = static_cast<QVBoxLayout*>(layout());
        column->insertWidget(column->indexOf(WebBrowser) + 1, findBar_ = new web::FindBar(this, WebBrowser));
    }
    findBar_->Open();
}

void TWebNavigator::ApplyCompactLayout()
{
    compactMode_ = true;
    facts_.light = true;
    header_->ApplyCompactLayout();
}

void TWebNavigator::EnableDiagnostics()
{
    facts_.debug = true;
    host::EnableFailureLog();
    qCWarning(lcFailures, "started on\n%s", qPrintable(web::VersionsText()));
}

void TWebNavigator::ShowIntranetButton()
{
    btnIntranet->show();
}

void TWebNavigator::enableIE8Standard()
{
    host::EnableBrowserEmulation(*services_.registry, services_.process.programPath);
}

void TWebNavigator::WebBrowserDocumentComplete(bool /*topLevel*/, const std::string& url)
{
    ftpHandOff_.UnsilenceAndHandOff(*WebBrowser, url);
}

void TWebNavigator::ApplicationEvents1Message(QObject* target, QEvent* event, bool& Handled)
{
    keys_->Filter(target, event, Handled);
}

} // namespace ostrel::ui
