#include "web/announcer.h"

#include "web/accessiblerole.h"

#include <QAccessible>
#include <QPointer>
#include <QTimer>
#include <QWebEngineView>

namespace ostrel::web {

Announcer::Announcer(QWidget* parent) : QWidget(parent)
{
    SetAccessibleRole(this, QAccessible::Notification);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(0, 0, 1, 1); // nothing to see: it is heard
    hide();
}

void Announcer::Say(const QString& text)
{
    hide();
    setAccessibleName(text);
    show(); // comes to show: read out
}

void GiveFocusBack(QWidget* widget)
{
    widget->setFocus(Qt::OtherFocusReason); // a Tab reason would start the page over at its first field
    QWidget* view = widget;
    while (view && !qobject_cast<QWebEngineView*>(view))
        view = view->parentWidget();
    if (!view || !QAccessible::isActive())
        return;
    // Once the engine has told its own, the page's focused element is told again.
    constexpr int kEngineToldMs = 150;
    QTimer::singleShot(kEngineToldMs, view, [view = QPointer(view)] {
        const QWidget* focus = view ? view->window()->focusWidget() : nullptr;
        if (!focus || (focus != view && !view->isAncestorOf(focus)))
            return;
        QAccessibleInterface* focused = QAccessible::queryAccessibleInterface(view);
        while (QAccessibleInterface* child = focused ? focused->focusChild() : nullptr) {
            if (child == focused)
                break;
            focused = child;
        }
        if (focused && focused->object() != view && focused->object() != focus) { // an element of the page
            QAccessibleEvent told(focused, QAccessible::Focus);
            QAccessible::updateAccessibility(&told);
        }
    });
}

} // namespace ostrel::web
