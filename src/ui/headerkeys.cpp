#include "ui/headerkeys.h"

#include "ui/headerlayout.h"

#include <QApplication>
#include <QFocusFrame>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

namespace ostrel::ui {

// Two lines, white outside, black inside: one of them stands out at least 3:1 against anything
// under it (white 5.8:1 on the panel, black 3.6:1). A QFocusFrame, so that assistive technology
// does not list it among the header's controls.
class FocusFrame final : public QFocusFrame {
public:
    explicit FocusFrame(QWidget* parent) : QFocusFrame(parent) { hide(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect outer = rect();
        painter.setPen(QPen(Qt::white, 2));
        painter.drawRect(outer.adjusted(1, 1, -1, -1));
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(outer.adjusted(2, 2, -3, -3));
    }
};

HeaderKeys::HeaderKeys(const Header& header, QWidget* panel)
    : QObject(panel), header_(header), frame_(new FocusFrame(panel))
{
    for (const ControlLayout& row : kHeaderLayout)
        header_.Widget(row.control)->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this] { showFrame(); });
}

QList<TGraphicControl*> HeaderKeys::order() const
{
    QList<TGraphicControl*> controls;
    for (const ControlLayout& row : kHeaderLayout)
        if (TGraphicControl* control = header_.Widget(row.control); control->OnClick && control->isVisible())
            controls << control;
    std::stable_sort(controls.begin(), controls.end(), StandsBefore);
    return controls;
}

void HeaderKeys::Enter(bool atTheEnd)
{
    const QList<TGraphicControl*> controls = order();
    if (!controls.isEmpty())
        focus(atTheEnd ? controls.back() : controls.front());
}

bool HeaderKeys::Holds(const QObject* focus) const
{
    const auto* control = qobject_cast<const TGraphicControl*>(focus);
    return control && control->parent() == frame_->parent();
}

void HeaderKeys::focus(TGraphicControl* control)
{
    control->setFocus(Qt::TabFocusReason);
}

void HeaderKeys::showFrame()
{
    auto* control = qobject_cast<TGraphicControl*>(QApplication::focusWidget());
    if (!control || !Holds(control) || !control->isVisible()) {
        frame_->hide();
        return;
    }
    // Within the panel: the logo reaches above it.
    frame_->setGeometry(control->geometry() & frame_->parentWidget()->rect());
    frame_->raise();
    frame_->show();
}

bool HeaderKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
        if (watched == QApplication::focusWidget())
            showFrame();
        return false;
    }
    if (event->type() != QEvent::KeyPress || !Holds(watched))
        return false;
    auto* control = static_cast<TGraphicControl*>(watched);
    const auto* key = static_cast<QKeyEvent*>(event);
    const QList<TGraphicControl*> controls = order();
    const qsizetype at = controls.indexOf(control);
    const auto step = [&](qsizetype by) {
        if (!controls.isEmpty())
            focus(controls[((at < 0 ? 0 : at) + by + controls.size()) % controls.size()]);
    };
    const bool backwards = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Backtab:
        step(-1);
        return true;
    case Qt::Key_Right:
    case Qt::Key_Down:
        step(1);
        return true;
    case Qt::Key_Tab:
        step(backwards ? -1 : 1);
        return true;
    case Qt::Key_Home:
        step(-at);
        return true;
    case Qt::Key_End:
        step(controls.size() - 1 - at);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!key->isAutoRepeat())
            control->Click();
        return true;
    case Qt::Key_Escape:
        if (OnLeave)
            OnLeave();
        return true;
    default:
        return false;
    }
}

} // namespace ostrel::ui
