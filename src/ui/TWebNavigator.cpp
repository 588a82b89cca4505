#include "ui/TWebNavigator.h"

#include "app/TApplication.h"
#include "app/browseremulation.h"
#include "app/messagefilter.h"
#include "app/switches.h"
#include "base/version.h"
#include "host/centring.h"
#include "host/failurelog.h"
#include "host/services.h"
#include "navigation/ftphandoff.h"
#include "ui/aboutwindow.h"
#include "ui/headerkeys.h"
#include "ui/headerlayout.h"
#include "web/blockedwindowbar.h"
#include "web/downloadbar.h"
#include "web/findbar.h"
#include "web/pagedialog.h"
#include "web/versions.h"
#include "web/webenginebrowser.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>

#include <QScreen>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

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

QList<QUrl> insurerOrigins()
{
    QList<QUrl> insurer;
    for (const std::string_view address : navigation::InsurerAddresses())
        insurer.append(QUrl(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size()))));
    return insurer;
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

TWebNavigator::TWebNavigator(host::Services& services, QWidget* parent)
    : QWidget(parent), WebBrowser(new web::WebEngineBrowser(insurerOrigins(), this)),
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
    setWindowTitle(QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()));
    setFont(HeaderFont(kWindowFontHeight));
    PnlMenu->setFixedHeight(kHeaderHeight);
    WebBrowser->setFocusPolicy(Qt::ClickFocus); // out of the Tab chain; the page handles Tab itself

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PnlMenu);
    layout->addWidget(WebBrowser, 1);
    downloads_ =
        new web::DownloadBar(this, WebBrowser->page()->profile(), *services.shell, WebBrowser->trust());
    layout->addWidget(downloads_);

    setMinimumSize(kMinimumClientSize);
    resize(kRestoredClientSize);
    host::CentreFrameOnScreen(*this);

    bindHeader();
    PnlMenu->setAccessibleName(QStringLiteral("Bestemmingen"));
    headerKeys_ = new HeaderKeys(*header_, PnlMenu);
    headerKeys_->OnLeave = [this] { WebBrowser->setFocus(Qt::TabFocusReason); };
    keyClock_.start();
    ApplicationEvents1 = new app::TApplicationEvents(this);
    ApplicationEvents1->OnMessage = [this](QObject* target, QEvent* event, bool& handled) {
        ApplicationEvents1Message(target, event, handled);
    };
    WebBrowser->SetOnDocumentComplete([this](bool topLevel, const std::string& url) {
        app::TApplication::Guarded([&] { WebBrowserDocumentComplete(topLevel, url); });
    });
    WebBrowser->SetOnOutsideAddress([this](const std::string& url) { services_.shell->OpenUrl(url); });
    WebBrowser->SetOnPageOutsideAddress([this](const std::string& url) {
        app::TApplication::Guarded([&] { ftpHandOff_.PageWentTo(*WebBrowser, url); });
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
                                    [this] { app::TApplication::Guarded([this] { ShowAbout(); }); });
}

void TWebNavigator::ShowAbout()
{
    if (about_) {
        about_->Refresh();
    } else {
        // The store reads its file anew at every key opened: it is asked how the last reading went.
        about_ = new AboutWindow(this, [this] {
            facts_.store = services_.registry->StoreStatus();
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

TWebNavigator::~TWebNavigator() = default;

// Downloads still coming in would be lost without a word: the user is asked first.
void TWebNavigator::closeEvent(QCloseEvent* event)
{
    if (!downloads_->MayQuit()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TWebNavigator::FormCreate()
{
    app::RunStartupSequence(*this,
                            {portal_, *WebBrowser, *services_.pause, *services_.account, services_.process});
}

// Under X, a window that holds a browser view forgets that it is maximised when it is first shown
// (and when Qt re-creates its native window for the view): the platform reports it restored a
// moment later. Put the state back when that happens right after either event.
bool TWebNavigator::event(QEvent* event)
{
    const bool maximised = windowState() & Qt::WindowMaximized;
    if ((event->type() == QEvent::Show || (event->type() == QEvent::WinIdChange && isVisible())) &&
        maximised) {
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
    // On a window not yet shown Qt makes its native window here (4-6 ms), as showing it would.
    setWindowState(windowState() | Qt::WindowMaximized);
}

// The main window is the application's only window when this runs; the maximised flag stays, so
// a restore brings it back maximised.
void TWebNavigator::Minimise()
{
    setWindowState(windowState() | Qt::WindowMinimized);
}

} // namespace ostrel::ui

namespace ostrel::ui {

namespace {
using Method = void (TWebNavigator::*)();

struct Binding {
    Control control;
    Method click;
    Method enter;
    Method leave;
};

// clang-format off
constexpr std::array kBindings{
    Binding{Control::BtnHome,              &TWebNavigator::JvXPButton6Click,         nullptr, nullptr},
    Binding{Control::BtnOWS,               &TWebNavigator::Button1Click,             nullptr, nullptr},
    Binding{Control::BtnFormulieren,       &TWebNavigator::BtnFormulierenClick,      nullptr, nullptr},
    Binding{Control::BtnBestanden,         &TWebNavigator::BtnBestandenClick,        nullptr, nullptr},
    Binding{Control::BtnOstrelWeb,         &TWebNavigator::BtnOstrelWebClick,        nullptr, nullptr},
    Binding{Control::BtnDownloads,         &TWebNavigator::JvXPButton3Click,         nullptr, nullptr},
    Binding{Control::btnPIM,               &TWebNavigator::btnPIMClick,              &TWebNavigator::btnPIMMouseEnter,              &TWebNavigator::btnPIMMouseLeave},
    Binding{Control::BtnHelpdesk,          &TWebNavigator::JvXPButton5Click,         &TWebNavigator::BtnHelpdeskMouseEnter,         &TWebNavigator::BtnHelpdeskMouseLeave},
    Binding{Control::btnTeamviewer,        &TWebNavigator::btnTeamviewerClick,       &TWebNavigator::btnTeamviewerMouseEnter,       &TWebNavigator::btnTeamviewerMouseLeave},
    Binding{Control::btnPolisvoorwaarden,  &TWebNavigator::btnPolisvoorwaardenClick, &TWebNavigator::btnPolisvoorwaardenMouseEnter, &TWebNavigator::btnPolisvoorwaardenMouseLeave},
    Binding{Control::btnPortaal,           &TWebNavigator::btnPortaalClick,          &TWebNavigator::btnPortaalMouseEnter,          &TWebNavigator::btnPortaalMouseLeave},
    Binding{Control::btnIntranet,          &TWebNavigator::btnIntranetClick,         &TWebNavigator::btnIntranetMouseEnter,         &TWebNavigator::btnIntranetMouseLeave},
    Binding{Control::btnCalculator,        &TWebNavigator::btnCalculatorClick,       &TWebNavigator::btnCalculatorMouseEnter,       &TWebNavigator::btnCalculatorMouseLeave},
    Binding{Control::JvTransparentButton1, &TWebNavigator::JvTransparentButton1lick, nullptr, nullptr},
    Binding{Control::JvImage1,             &TWebNavigator::JvImage1Click,            nullptr, nullptr},
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
    BtnFormulieren = header_->Get<TJvTransparentButton>(Control::BtnFormulieren);
    BtnDownloads = header_->Get<TJvTransparentButton>(Control::BtnDownloads);
    BtnHome = header_->Get<TJvTransparentButton>(Control::BtnHome);
    BtnHelpdesk = header_->Get<TJvTransparentButton>(Control::BtnHelpdesk);
    BtnOWS = header_->Get<TJvTransparentButton>(Control::BtnOWS);
    BtnOstrelWeb = header_->Get<TJvTransparentButton>(Control::BtnOstrelWeb);
    BtnBestanden = header_->Get<TJvTransparentButton>(Control::BtnBestanden);
    LblAdres = header_->Get<TRzLabel>(Control::LblAdres);
    LblUrl = header_->Get<TRzURLLabel>(Control::LblUrl);
    LblMail = header_->Get<TRzURLLabel>(Control::LblMail);
    btnTeamviewer = header_->Get<TJvTransparentButton>(Control::btnTeamviewer);
    btnCalculator = header_->Get<TJvTransparentButton>(Control::btnCalculator);
    btnPolisvoorwaarden = header_->Get<TJvTransparentButton>(Control::btnPolisvoorwaarden);
    btnPortaal = header_->Get<TJvTransparentButton>(Control::btnPortaal);
    bvl1 = header_->Get<TBevel>(Control::bvl1);
    JvImage1 = header_->Get<TJvImage>(Control::JvImage1);
    bvl2 = header_->Get<TBevel>(Control::bvl2);
    btnIntranet = header_->Get<TJvTransparentButton>(Control::btnIntranet);
    btnPIM = header_->Get<TJvTransparentButton>(Control::btnPIM);
    JvTransparentButton1 = header_->Get<TJvTransparentButton>(Control::JvTransparentButton1);

    // Every handler runs guarded: an error it raises ends in the error box, never in Qt.
    auto guarded = [this](Method method) -> Handler {
        if (!method)
            return {};
        return [this, method] { app::TApplication::Guarded([&] { (this->*method)(); }); };
    };
    // The header acts whatever a page or the program asks: the question goes first (a window of
    // ours is cancelled, a page's dialog dismissed), and the click runs once the engine has its
    // answer.
    auto clicked = [this, guarded](Method method) -> Handler {
        return [this, run = guarded(method)] { web::Trust::AfterQuestions(this, run); };
    };
    for (const Binding& binding : kBindings) {
        TGraphicControl* control = header_->Widget(binding.control);
        control->OnClick = clicked(binding.click);
        control->OnMouseEnter = guarded(binding.enter);
        control->OnMouseLeave = guarded(binding.leave);
    }
    PnlMenu->OnMouseDown = [this](QMouseEvent* event) {
        app::TApplication::Guarded([&] { PnlMenuMouseDown(event); });
    };
}

// What any browser offers (app::kBrowserKeys), on this window's browser.
bool TWebNavigator::browserAction(app::BrowserAction action, QObject* target)
{
    const auto zoom = [this](double step) {
        WebBrowser->setZoomFactor(step == 0 ? 1.0 : std::clamp(WebBrowser->zoomFactor() + step, 0.25, 5.0));
    };
    using enum app::BrowserAction;
    switch (action) {
    case Print:
        WebBrowser->PrintWithDialog();
        return true;
    case ZoomIn:
        zoom(0.1);
        return true;
    case ZoomOut:
        zoom(-0.1);
        return true;
    case ZoomReset:
        zoom(0);
        return true;
    case Find:
        if (!findBar_) { // made when first wanted: its line edit and buttons cost 10 ms at start
            auto* column = static_cast<QVBoxLayout*>(layout());
            column->insertWidget(column->indexOf(WebBrowser) + 1,
                                 findBar_ = new web::FindBar(this, WebBrowser));
        }
        findBar_->Open();
        return true;
    case Back:
        WebBrowser->triggerPageAction(QWebEnginePage::Back);
        return true;
    case Forward:
        WebBrowser->triggerPageAction(QWebEnginePage::Forward);
        return true;
    case Stop:
        // Escape in the find bar closes the bar, in a page's dialog it cancels the dialog.
        if (!WebBrowser->page()->isLoading() ||
            (findBar_ && findBar_->isAncestorOf(qobject_cast<QWidget*>(target))) ||
            web::PageDialog::Holds(target) || headerKeys_->Holds(target))
            return false;
        WebBrowser->triggerPageAction(QWebEnginePage::Stop);
        return true;
    case NextPane:
        nextPane(target, QGuiApplication::keyboardModifiers() & Qt::ShiftModifier);
        return true;
    }
    return false;
}

namespace {
// The first control of a bar that the Tab key reaches, if it shows one.
QWidget* firstTabStop(QWidget* bar)
{
    if (!bar || !bar->isVisible())
        return nullptr;
    for (QWidget* child : bar->findChildren<QWidget*>())
        if (child->isVisible() && child->isEnabled() && (child->focusPolicy() & Qt::TabFocus))
            return child;
    return nullptr;
}
} // namespace

// F6 goes round the page, the header, then each bar that shows (the blocked-window bar, the find
// bar, the downloads); Shift+F6 the other way.
void TWebNavigator::nextPane(QObject* from, bool backwards)
{
    QList<QWidget*> bars;
    for (QWidget* bar : {static_cast<QWidget*>(WebBrowser->findChild<web::BlockedWindowBar*>()),
                         static_cast<QWidget*>(findBar_), static_cast<QWidget*>(downloads_)})
        if (firstTabStop(bar))
            bars << bar;
    const auto* widget = qobject_cast<const QWidget*>(from);
    qsizetype at = headerKeys_->Holds(from) ? 1 : 0; // the page, and anything else
    for (qsizetype i = 0; i < bars.size(); ++i)
        if (widget && bars[i]->isAncestorOf(widget))
            at = 2 + i;
    const qsizetype panes = 2 + bars.size();
    const qsizetype next = (at + (backwards ? panes - 1 : 1)) % panes;
    if (next == 0)
        WebBrowser->setFocus(Qt::TabFocusReason);
    else if (next == 1)
        headerKeys_->Enter(backwards);
    else
        firstTabStop(bars[next - 2])->setFocus(Qt::TabFocusReason);
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

// Any mouse button on the header's background drags the window, as its title bar would.
void TWebNavigator::PnlMenuMouseDown(QMouseEvent* event)
{
    PnlMenu->StartWindowMove(event);
}

void TWebNavigator::JvXPButton6Click()
{
    commands_.Run(Control::BtnHome);
}
void TWebNavigator::Button1Click()
{
    commands_.Run(Control::BtnOWS);
}
void TWebNavigator::BtnFormulierenClick()
{
    commands_.Run(Control::BtnFormulieren);
}
void TWebNavigator::BtnBestandenClick()
{
    commands_.Run(Control::BtnBestanden);
}
void TWebNavigator::BtnOstrelWebClick()
{
    commands_.Run(Control::BtnOstrelWeb);
}
void TWebNavigator::JvXPButton3Click()
{
    commands_.Run(Control::BtnDownloads);
}
void TWebNavigator::btnPIMClick()
{
    commands_.Run(Control::btnPIM);
}
void TWebNavigator::JvXPButton5Click()
{
    commands_.Run(Control::BtnHelpdesk);
}
void TWebNavigator::btnTeamviewerClick()
{
    commands_.Run(Control::btnTeamviewer);
}
void TWebNavigator::btnPolisvoorwaardenClick()
{
    commands_.Run(Control::btnPolisvoorwaarden);
}
void TWebNavigator::btnPortaalClick()
{
    commands_.Run(Control::btnPortaal);
}
void TWebNavigator::btnIntranetClick()
{
    commands_.Run(Control::btnIntranet);
}
void TWebNavigator::btnCalculatorClick()
{
    commands_.Run(Control::btnCalculator);
}
void TWebNavigator::JvTransparentButton1lick()
{
    commands_.Run(Control::JvTransparentButton1);
}
void TWebNavigator::JvImage1Click()
{
    commands_.Run(Control::JvImage1);
}

void TWebNavigator::WebBrowserDocumentComplete(bool /*topLevel*/, const std::string& url)
{
    ftpHandOff_.DocumentCompleted(*WebBrowser, url);
}

namespace {
int virtualKeyOf(const QKeyEvent& key)
{
    switch (key.key()) {
    case Qt::Key_F2:
        return app::VK_F2;
    case Qt::Key_F4:
        return app::VK_F4;
    case Qt::Key_F5:
        return app::VK_F5;
    case Qt::Key_F6:
        return app::VK_F6;
    case Qt::Key_F11:
        return app::VK_F11;
    case Qt::Key_F12:
        return app::VK_F12;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return app::VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return app::VK_RETURN;
    case Qt::Key_Backspace:
        return app::VK_BACK;
    case Qt::Key_Left:
        return app::VK_LEFT;
    case Qt::Key_Right:
        return app::VK_RIGHT;
    case Qt::Key_Delete:
        return app::VK_DELETE;
    case Qt::Key_Escape:
        return app::VK_ESCAPE;
    case Qt::Key_0:
        return app::VK_0;
    case Qt::Key_F:
        return app::VK_F;
    case Qt::Key_P:
        return app::VK_P;
    case Qt::Key_Plus:
        return (key.modifiers() & Qt::KeypadModifier) ? app::VK_ADD : app::VK_OEM_PLUS;
    case Qt::Key_Equal:
        return app::VK_OEM_PLUS; // the "=/+" key without Shift
    case Qt::Key_Minus:
        return (key.modifiers() & Qt::KeypadModifier) ? app::VK_SUBTRACT : app::VK_OEM_MINUS;
    default:
        return 0;
    }
}
} // namespace

namespace {
// A click or an activating key of the user's on a page, in this window or one a page opened, not
// on a dialog over it: what lets a page make one thing happen outside itself (web/trust.h). A
// page's script makes no such event.
bool userActsOnAPage(const QWidget* widget, const QEvent& event)
{
    const bool click = event.type() == QEvent::MouseButtonPress && event.spontaneous();
    const auto* key = event.type() == QEvent::KeyPress ? static_cast<const QKeyEvent*>(&event) : nullptr;
    const bool activates =
        key && !key->isAutoRepeat() &&
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space);
    if (!widget || !(click || activates) || web::PageDialog::Holds(widget))
        return false;
    for (const QWidget* parent = widget->parentWidget(); parent; parent = parent->parentWidget())
        if (qobject_cast<const QWebEngineView*>(parent))
            return true;
    return false;
}
} // namespace

void TWebNavigator::ApplicationEvents1Message(QObject* target, QEvent* event, bool& Handled)
{
    auto* widget = qobject_cast<QWidget*>(target);
    if (userActsOnAPage(widget, *event))
        WebBrowser->trust().UserActed();
    const bool inBrowser = widget && widget != WebBrowser && WebBrowser->isAncestorOf(widget);
    app::Message message;
    message.targetInBrowser = inBrowser;
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if (key) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        // Each key once: at its first delivery, as the window system or the accessibility bridge
        // sends it, not the copy the engine hands back when the page left it alone.
        const app::KeyDeliveries::Key id{event->type(), keyEvent->key(),
                                         static_cast<int>(keyEvent->modifiers()), keyEvent->nativeScanCode(),
                                         keyEvent->nativeVirtualKey()};
        const std::int64_t now = keyClock_.elapsed();
        if (target == this && !event->spontaneous() && keyDeliveries_.HandBack(id, now)) {
            // The window's own focus handling never gets Tab or Enter from the page.
            const int vk = virtualKeyOf(*keyEvent);
            Handled = vk == app::VK_TAB || vk == app::VK_RETURN;
            return;
        }
        // A key that goes on to the page may come back from it.
        struct ToPage {
            app::KeyDeliveries& deliveries;
            const app::KeyDeliveries::Key& id;
            std::int64_t now;
            bool inBrowser;
            const bool& handled;
            ~ToPage()
            {
                if (inBrowser && !handled)
                    deliveries.SentToPage(id, now);
            }
        } toPage{keyDeliveries_, id, now, inBrowser, Handled};
        if (keyEvent->isAutoRepeat() && event->type() == QEvent::KeyRelease)
            return;
        if (event->type() == QEvent::KeyPress && widget && widget->window() == this) {
            const auto action =
                app::BrowserKeyAction(virtualKeyOf(*keyEvent), keyEvent->modifiers() & Qt::ControlModifier,
                                      keyEvent->modifiers() & Qt::AltModifier);
            if (action && browserAction(*action, target)) {
                Handled = true;
                return;
            }
        }
        const bool alt = keyEvent->modifiers() & Qt::AltModifier;
        using Kind = app::Message::Kind;
        message.kind = event->type() == QEvent::KeyPress ? (alt ? Kind::SysKeyDown : Kind::KeyDown)
                                                         : (alt ? Kind::SysKeyUp : Kind::KeyUp);
        message.virtualKey = virtualKeyOf(*keyEvent);
        message.extendedKey =
            !(keyEvent->modifiers() & Qt::KeypadModifier) && message.virtualKey != app::VK_BACK;
    } else if (event->type() == QEvent::Close) {
        message.kind = app::Message::Kind::Close;
    } else if (event->type() == QEvent::MouseButtonPress && event->spontaneous() && widget &&
               widget->window() == this) {
        // The mouse's side buttons go back and forward, as in any browser.
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        const int vk = button == Qt::BackButton      ? app::VK_XBUTTON1
                       : button == Qt::ForwardButton ? app::VK_XBUTTON2
                                                     : 0;
        if (const auto action = app::BrowserKeyAction(vk, false, false))
            Handled = browserAction(*action, target);
        return;
    } else {
        return;
    }
    // No shortcut fires while a question of ours waits for its answer (the error box among them).
    if (web::Trust::QuestionOpen() && key)
        return;

    const app::FilterResult result = app::FilterMessage(message, compactMode_);
    if (result.click)
        header_->Widget(*result.click)->Click();
    if (result.nullified) {
        event->ignore();
        Handled = true; // the close request reaches nothing
        return;
    }
    // A key for the page goes on to its target, the page, and nowhere else.
    Handled = result.handled && !result.forwardToBrowser;
}

void TWebNavigator::btnPIMMouseEnter()
{
    underline(btnPIM, true);
}
void TWebNavigator::btnPIMMouseLeave()
{
    underline(btnPIM, false);
}
void TWebNavigator::BtnHelpdeskMouseEnter()
{
    underline(BtnHelpdesk, true);
}
void TWebNavigator::BtnHelpdeskMouseLeave()
{
    underline(BtnHelpdesk, false);
}
void TWebNavigator::btnTeamviewerMouseEnter()
{
    underline(btnTeamviewer, true);
}
void TWebNavigator::btnTeamviewerMouseLeave()
{
    underline(btnTeamviewer, false);
}
void TWebNavigator::btnPolisvoorwaardenMouseEnter()
{
    underline(btnPolisvoorwaarden, true);
}
void TWebNavigator::btnPolisvoorwaardenMouseLeave()
{
    underline(btnPolisvoorwaarden, false);
}
void TWebNavigator::btnPortaalMouseEnter()
{
    underline(btnPortaal, true);
}
void TWebNavigator::btnPortaalMouseLeave()
{
    underline(btnPortaal, false);
}
void TWebNavigator::btnIntranetMouseEnter()
{
    underline(btnIntranet, true);
}
void TWebNavigator::btnIntranetMouseLeave()
{
    underline(btnIntranet, false);
}
void TWebNavigator::btnCalculatorMouseEnter()
{
    underline(btnCalculator, true);
}
void TWebNavigator::btnCalculatorMouseLeave()
{
    underline(btnCalculator, false);
}

} // namespace ostrel::ui
