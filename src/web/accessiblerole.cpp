#include "web/accessiblerole.h"

#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace ostrel::web {

namespace {
constexpr char kRole[] = "ostrelAccessibleRole";

QAccessibleInterface* withRole(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    const QVariant role = widget ? widget->property(kRole) : QVariant();
    return role.isValid() ? new QAccessibleWidget(widget, static_cast<QAccessible::Role>(role.toInt())) : nullptr;
}
} // namespace

void SetAccessibleRole(QWidget* widget, QAccessible::Role role)
{
    QAccessible::installFactory(&withRole); // once: Qt keeps a factory once
    widget->setProperty(kRole, static_cast<int>(role));
}

} // namespace ostrel::web
