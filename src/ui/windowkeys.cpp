#include "ui/windowkeys.h"

#include "web/announcer.h"
#include "web/findbar.h"
#include "web/pagedialog.h"
#include "web/trust.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QWebEngineView>
#include <QWidget>

#include <algorithm>

namespace ostrel::ui {

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

bool inFindBar(const QObject* object)
{
    for (const auto* widget = qobject_cast<const QWidget*>(object); widget; widget = widget->parentWidget())
        if (qobject_cast<const web::FindBar*>(widget))
            return true;
    return false;
}

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

WindowKeys::WindowKeys(Parts parts) : parts_(std::move(parts))
{
    clock_.start();
}

void WindowKeys::Filter(QObject* target, QEvent* event, bool& handled)
{
    auto* widget = qobject_cast<QWidget*>(target);
    if (userActsOnAPage(widget, *event))
        parts_.userActed();
    const bool inBrowser = widget && widget != parts_.browser && parts_.browser->isAncestorOf(widget);
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
        const std::int64_t now = clock_.elapsed();
        if (target == parts_.window && !event->spontaneous() && deliveries_.HandBack(id, now)) {
            // The window's own focus handling never gets Tab or Enter from the page.
            const int vk = virtualKeyOf(*keyEvent);
            handled = vk == app::VK_TAB || vk == app::VK_RETURN;
            return;
        }
        // A key that goes on to the page may come back from it. Noted as this block ends, however it
        // ends, before the shortcut table below has its say (a browser key taken here goes nowhere).
        const auto sentToPage = qScopeGuard([&] {
            if (inBrowser && !handled)
                deliveries_.SentToPage(id, now);
        });
        if (keyEvent->isAutoRepeat() && event->type() == QEvent::KeyRelease)
            return;
        if (event->type() == QEvent::KeyPress && widget && widget->window() == parts_.window) {
            const auto action =
                app::BrowserKeyAction(virtualKeyOf(*keyEvent), keyEvent->modifiers() & Qt::ControlModifier,
                                      keyEvent->modifiers() & Qt::AltModifier);
            if (action && runBrowserAction(*action, target)) {
                handled = true;
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
               widget->window() == parts_.window) {
        // The mouse's side buttons go back and forward, as in any browser.
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        const int vk = button == Qt::BackButton      ? app::VK_XBUTTON1
                       : button == Qt::ForwardButton ? app::VK_XBUTTON2
                                                     : 0;
        if (const auto action = app::BrowserKeyAction(vk, false, false))
            handled = runBrowserAction(*action, target);
        return;
    } else {
        return;
    }
    // No shortcut fires while a question of ours waits for its answer (the error box among them).
    if (web::Trust::QuestionOpen() && key)
        return;

    const app::FilterResult result = app::FilterMessage(message, parts_.compact());
    if (result.click)
        parts_.runControl(*result.click);
    if (result.nullified) {
        event->ignore();
        handled = true; // the close request reaches nothing
        return;
    }
    // A key for the page goes on to its target, the page, and nowhere else.
    handled = result.handled && !result.forwardToBrowser;
}

// What any browser offers (app::kBrowserKeys), on this window's browser.
bool WindowKeys::runBrowserAction(app::BrowserAction action, QObject* target)
{
    const auto zoom = [this](double step) {
        parts_.setZoom(step == 0 ? 1.0 : std::clamp(parts_.zoom() + step, 0.25, 5.0));
    };
    using enum app::BrowserAction;
    switch (action) {
    case Print:
        parts_.print();
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
        parts_.find();
        return true;
    case Back:
        parts_.pageAction(QWebEnginePage::Back);
        return true;
    case Forward:
        parts_.pageAction(QWebEnginePage::Forward);
        return true;
    case Stop:
        // Escape in the find bar closes the bar, in a page's dialog it cancels the dialog.
        if (!parts_.loading() || inFindBar(target) || web::PageDialog::Holds(target) ||
            parts_.inHeader(target))
            return false;
        parts_.pageAction(QWebEnginePage::Stop);
        return true;
    case NextPane:
        nextPane(target, QGuiApplication::keyboardModifiers() & Qt::ShiftModifier);
        return true;
    }
    return false;
}

// F6 goes round the page, the header, then each bar that shows (the blocked-window bar, the find
// bar, the downloads); Shift+F6 the other way.
void WindowKeys::nextPane(QObject* from, bool backwards)
{
    QList<QWidget*> bars;
    for (QWidget* bar : parts_.bars())
        if (firstTabStop(bar))
            bars << bar;
    const auto* widget = qobject_cast<const QWidget*>(from);
    qsizetype at = parts_.inHeader(from) ? 1 : 0; // the page, and anything else
    for (qsizetype i = 0; i < bars.size(); ++i)
        if (widget && bars[i]->isAncestorOf(widget))
            at = 2 + i;
    const qsizetype panes = 2 + bars.size();
    const qsizetype next = (at + (backwards ? panes - 1 : 1)) % panes;
    if (next == 0)
        web::GiveFocusBack(parts_.browser); // where it was in the page
    else if (next == 1)
        parts_.enterHeader(backwards);
    else
        firstTabStop(bars[next - 2])->setFocus(Qt::TabFocusReason);
}

} // namespace ostrel::ui
