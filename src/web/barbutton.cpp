#include "web/barbutton.h"

#include <QPushButton>

namespace ostrel::web {

QPushButton* BarButton(const QString& text, QWidget* parent, const QString& actsOn, const QString& name)
{
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(true); // Return presses it, outside a dialog too
    const QString said = name.isEmpty() ? text : name;
    if (!name.isEmpty())
        button->setToolTip(name);
    if (!actsOn.isEmpty() || !name.isEmpty())
        button->setAccessibleName(actsOn.isEmpty() ? said : said + QStringLiteral(": ") + actsOn);
    return button;
}

} // namespace ostrel::web
