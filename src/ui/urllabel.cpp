#include "ui/urllabel.h"

#include "host/shell.h"

namespace ostrel::ui {

TRzURLLabel::TRzURLLabel(QWidget* parent, host::Shell& shell) : TRzLabel(parent), shell_(shell)
{
    setCursor(Qt::PointingHandCursor);
    OnClick = [this] { openLink(); };
}

void TRzURLLabel::openLink()
{
    QString target = URL.trimmed();
    if (target.isEmpty())
        target = Caption().trimmed();
    if (target.isEmpty())
        return;
    if (shell_.OpenUrl(target.toStdString())) {
        visited_ = true;
        SetFontColor(VisitedColor);
    }
}

} // namespace ostrel::ui
