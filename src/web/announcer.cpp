#include "web/announcer.h"

#include "web/accessiblerole.h"

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

} // namespace ostrel::web
