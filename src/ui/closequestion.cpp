#include "ui/closequestion.h"

#include <QEvent>
#include <QWidget>

namespace ostrel::ui {

CloseQuestion::CloseQuestion(QWidget* window, std::function<bool()> mayClose)
    : QObject(window), window_(window), mayClose_(std::move(mayClose))
{
    window_->installEventFilter(this);
}

bool CloseQuestion::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window_ || event->type() != QEvent::Close || mayClose_())
        return false;
    event->ignore();
    return true;
}

} // namespace ostrel::ui
