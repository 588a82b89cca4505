#include "ui/TWebNavigator.h"

#include "app/TApplication.h"
#include "host/browseremulation.h"
#include "host/services.h"
#include "host/webenginebrowser.h"
#include "navigation/version.h"
#include "ui/headerlayout.h"

#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <array>

namespace ostrel::ui {

namespace {
constexpr int kHeaderHeight = 97;
const QColor kHeaderColour(44, 106, 149);
constexpr QSize kRestoredClientSize(1259, 841);
// The smallest window keeps the whole header: the panel never gets narrower than its design width.
constexpr QSize kMinimumClientSize(kDesignPanelWidth, 761);
constexpr int kWindowFontHeight = 14;
constexpr int kRestoreMaximisedWindowMs = 1000;
} // namespace

TWebNavigator::TWebNavigator(host::Services& services, QWidget* parent)
    : QWidget(parent), WebBrowser(new host::WebEngineBrowser(this)), PnlMenu(new TPanel(this, kHeaderColour)),
      services_(services), header_(new Header(PnlMenu, *services.shell)), portal_(*WebBrowser, *services.registry)
{
    setWindowTitle(QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/assets/icons/hicolor/%1x%1/apps/ostrel-web.png").arg(size));
    setWindowIcon(icon);
    setFont(HeaderFont(kWindowFontHeight));
    PnlMenu->setFixedHeight(kHeaderHeight);
    WebBrowser->setFocusPolicy(Qt::ClickFocus); // out of the Tab chain; the page handles Tab itself

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PnlMenu);
    layout->addWidget(WebBrowser, 1);

    setMinimumSize(kMinimumClientSize);
    resize(kRestoredClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    bindHeader();
}

TWebNavigator::~TWebNavigator() = default;

void TWebNavigator::FormCreate()
{
    app::RunStartupSequence(*this, {portal_, *WebBrowser, *services_.pause, *services_.account, services_.process});
}

// Under X, a window that holds a browser view forgets that it is maximised when it is first shown
// (and when Qt re-creates its native window for the view): the platform reports it restored a
// moment later. Put the state back when that happens right after either event.
bool TWebNavigator::event(QEvent* event)
{
    const bool maximised = windowState() & Qt::WindowMaximized;
    if ((event->type() == QEvent::Show || (event->type() == QEvent::WinIdChange && isVisible())) && maximised) {
        restoreMaximised_ = true;
        QTimer::singleShot(kRestoreMaximisedWindowMs, this, [this] { restoreMaximised_ = false; });
    } else if (event->type() == QEvent::WindowStateChange && restoreMaximised_ && !maximised) {
        restoreMaximised_ = false;
        QTimer::singleShot(0, this, [this] { setWindowState(windowState() | Qt::WindowMaximized); });
    }
    return QWidget::event(event);
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
    setWindowState(windowState() | Qt::WindowMaximized);
}

} // namespace ostrel::ui

namespace ostrel::ui {

namespace {
using Method = void (TWebNavigator::*)();

struct Binding {
    std::string_view control;
    Method click;
    Method enter;
    Method leave;
};

// clang-format off
constexpr std::array kBindings{
    Binding{"BtnHome",              &TWebNavigator::JvXPButton6Click,         nullptr, nullptr},
    Binding{"BtnOWS",               &TWebNavigator::Button1Click,             nullptr, nullptr},
    Binding{"BtnFormulieren",       &TWebNavigator::BtnFormulierenClick,      nullptr, nullptr},
    Binding{"BtnBestanden",         &TWebNavigator::BtnBestandenClick,        nullptr, nullptr},
    Binding{"BtnOstrelWeb",         &TWebNavigator::BtnOstrelWebClick,        nullptr, nullptr},
    Binding{"BtnDownloads",         &TWebNavigator::JvXPButton3Click,         nullptr, nullptr},
    Binding{"btnPIM",               &TWebNavigator::btnPIMClick,              &TWebNavigator::btnPIMMouseEnter,              &TWebNavigator::btnPIMMouseLeave},
    Binding{"BtnHelpdesk",          &TWebNavigator::JvXPButton5Click,         &TWebNavigator::BtnHelpdeskMouseEnter,         &TWebNavigator::BtnHelpdeskMouseLeave},
    Binding{"btnTeamviewer",        &TWebNavigator::btnTeamviewerClick,       &TWebNavigator::btnTeamviewerMouseEnter,       &TWebNavigator::btnTeamviewerMouseLeave},
    Binding{"btnPolisvoorwaarden",  &TWebNavigator::btnPolisvoorwaardenClick, &TWebNavigator::btnPolisvoorwaardenMouseEnter, &TWebNavigator::btnPolisvoorwaardenMouseLeave},
    Binding{"btnPortaal",           &TWebNavigator::btnPortaalClick,          &TWebNavigator::btnPortaalMouseEnter,          &TWebNavigator::btnPortaalMouseLeave},
    Binding{"btnIntranet",          &TWebNavigator::btnIntranetClick,         &TWebNavigator::btnIntranetMouseEnter,         &TWebNavigator::btnIntranetMouseLeave},
    Binding{"btnCalculator",        &TWebNavigator::btnCalculatorClick,       &TWebNavigator::btnCalculatorMouseEnter,       &TWebNavigator::btnCalculatorMouseLeave},
    Binding{"JvTransparentButton1", &TWebNavigator::JvTransparentButton1lick, nullptr, nullptr},
    Binding{"JvImage1",             &TWebNavigator::JvImage1Click,            nullptr, nullptr},
};
// clang-format on

// The hover underline: exactly underlined, or regular.
void underline(TJvTransparentButton* button, bool on)
{
    QFont font = button->font();
    font.setUnderline(on);
    font.setBold(false);
    font.setItalic(false);
    font.setStrikeOut(false);
    button->setFont(font);
    button->update();
}
} // namespace

void TWebNavigator::bindHeader()
{
    BtnFormulieren = header_->Get<TJvTransparentButton>("BtnFormulieren");
    BtnDownloads = header_->Get<TJvTransparentButton>("BtnDownloads");
    BtnHome = header_->Get<TJvTransparentButton>("BtnHome");
    BtnHelpdesk = header_->Get<TJvTransparentButton>("BtnHelpdesk");
    BtnOWS = header_->Get<TJvTransparentButton>("BtnOWS");
    BtnOstrelWeb = header_->Get<TJvTransparentButton>("BtnOstrelWeb");
    BtnBestanden = header_->Get<TJvTransparentButton>("BtnBestanden");
    LblAdres = header_->Get<TRzLabel>("LblAdres");
    LblUrl = header_->Get<TRzURLLabel>("LblUrl");
    LblMail = header_->Get<TRzURLLabel>("LblMail");
    btnTeamviewer = header_->Get<TJvTransparentButton>("btnTeamviewer");
    btnCalculator = header_->Get<TJvTransparentButton>("btnCalculator");
    btnPolisvoorwaarden = header_->Get<TJvTransparentButton>("btnPolisvoorwaarden");
    btnPortaal = header_->Get<TJvTransparentButton>("btnPortaal");
    bvl1 = header_->Get<TBevel>("bvl1");
    JvImage1 = header_->Get<TJvImage>("JvImage1");
    bvl2 = header_->Get<TBevel>("bvl2");
    btnIntranet = header_->Get<TJvTransparentButton>("btnIntranet");
    btnPIM = header_->Get<TJvTransparentButton>("btnPIM");
    JvTransparentButton1 = header_->Get<TJvTransparentButton>("JvTransparentButton1");

    // Every handler runs guarded: an error it raises ends in the error box, never in Qt.
    auto guarded = [this](Method method) -> Handler {
        if (!method)
            return {};
        return [this, method] { app::TApplication::Guarded([&] { (this->*method)(); }); };
    };
    for (const Binding& binding : kBindings) {
        TGraphicControl* control = header_->Control(binding.control);
        control->OnClick = guarded(binding.click);
        control->OnMouseEnter = guarded(binding.enter);
        control->OnMouseLeave = guarded(binding.leave);
    }
    PnlMenu->OnMouseDown = [this](QMouseEvent* event) {
        app::TApplication::Guarded([&] { PnlMenuMouseDown(event); });
    };
}

void TWebNavigator::ApplyCompactLayout()
{
    header_->ApplyCompactLayout();
}

void TWebNavigator::ShowIntranetButton()
{
    btnIntranet->show();
}

void TWebNavigator::enableIE8Standard()
{
    host::EnableBrowserEmulation(*services_.registry, services_.process.programPath);
}

// Any mouse button on the header's background drags the window, as its title bar would.
void TWebNavigator::PnlMenuMouseDown(QMouseEvent* event)
{
    PnlMenu->StartWindowMove(event);
}

// The destinations' commands are the navigation catalogue's; until they are bound, a click runs
// nothing.
void TWebNavigator::JvXPButton6Click() {}
void TWebNavigator::Button1Click() {}
void TWebNavigator::BtnFormulierenClick() {}
void TWebNavigator::BtnBestandenClick() {}
void TWebNavigator::BtnOstrelWebClick() {}
void TWebNavigator::JvXPButton3Click() {}
void TWebNavigator::btnPIMClick() {}
void TWebNavigator::JvXPButton5Click() {}
void TWebNavigator::btnTeamviewerClick() {}
void TWebNavigator::btnPolisvoorwaardenClick() {}
void TWebNavigator::btnPortaalClick() {}
void TWebNavigator::btnIntranetClick() {}
void TWebNavigator::btnCalculatorClick() {}
void TWebNavigator::JvTransparentButton1lick() {}
void TWebNavigator::JvImage1Click() {}

void TWebNavigator::btnPIMMouseEnter() { underline(btnPIM, true); }
void TWebNavigator::btnPIMMouseLeave() { underline(btnPIM, false); }
void TWebNavigator::BtnHelpdeskMouseEnter() { underline(BtnHelpdesk, true); }
void TWebNavigator::BtnHelpdeskMouseLeave() { underline(BtnHelpdesk, false); }
void TWebNavigator::btnTeamviewerMouseEnter() { underline(btnTeamviewer, true); }
void TWebNavigator::btnTeamviewerMouseLeave() { underline(btnTeamviewer, false); }
void TWebNavigator::btnPolisvoorwaardenMouseEnter() { underline(btnPolisvoorwaarden, true); }
void TWebNavigator::btnPolisvoorwaardenMouseLeave() { underline(btnPolisvoorwaarden, false); }
void TWebNavigator::btnPortaalMouseEnter() { underline(btnPortaal, true); }
void TWebNavigator::btnPortaalMouseLeave() { underline(btnPortaal, false); }
void TWebNavigator::btnIntranetMouseEnter() { underline(btnIntranet, true); }
void TWebNavigator::btnIntranetMouseLeave() { underline(btnIntranet, false); }
void TWebNavigator::btnCalculatorMouseEnter() { underline(btnCalculator, true); }
void TWebNavigator::btnCalculatorMouseLeave() { underline(btnCalculator, false); }

} // namespace ostrel::ui
