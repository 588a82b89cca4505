#include "web/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace ostrel::web {

Announcer::Announcer(QWidget* parent) : QWidget(parent)
{
    QAccessible::installFactory(&Announcer::accessible); // once: Qt keeps a factory once
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

QAccessibleInterface* Announcer::accessible(const QString&, QObject* object)
{
    auto* announcer = qobject_cast<Announcer*>(object);
    return announcer ? new QAccessibleWidget(announcer, QAccessible::Notification) : nullptr;
}

} // namespace ostrel::web
