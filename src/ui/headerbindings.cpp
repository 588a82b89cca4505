// What each control of the main window's header does: the one table that binds a control to its
// click and hover handlers, the way a control's action runs, and the handlers themselves.
#include "ui/TWebNavigator.h"

#include "ui/TApplication.h"
#include "ui/headerlayout.h"
#include "web/trust.h"

#include <QMouseEvent>

#include <algorithm>
#include <array>

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

// Every handler runs guarded: an error it raises ends in the error box, never in Qt.
Handler guarded(TWebNavigator* window, Method method)
{
    if (!method)
        return {};
    return [window, method] { TApplication::Guarded([&] { (window->*method)(); }); };
}

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

    // Whatever presses a control (the mouse, the header's keyboard route, a screen reader) runs its
    // OnClick, and so runControl.
    for (const Binding& binding : kBindings) {
        TGraphicControl* control = header_->Widget(binding.control);
        control->OnClick = [this, which = binding.control] { runControl(which); };
        control->OnMouseEnter = guarded(this, binding.enter);
        control->OnMouseLeave = guarded(this, binding.leave);
    }
    PnlMenu->OnMouseDown = [this](QMouseEvent* event) {
        TApplication::Guarded([&] { PnlMenuMouseDown(event); });
    };
}

// The header acts whatever a page or the program asks: the question goes first (a window of ours is
// cancelled, a page's dialog dismissed), and the control's handler runs once the engine has its
// answer.
void TWebNavigator::runControl(Control control)
{
    const auto binding = std::ranges::find(kBindings, control, &Binding::control);
    if (binding == kBindings.end())
        return;
    web::Trust::AfterQuestions(this, guarded(this, binding->click));
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

// Any mouse button on the header's background drags the window, as its title bar would.
void TWebNavigator::PnlMenuMouseDown(QMouseEvent* event)
{
    PnlMenu->StartWindowMove(event);
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
