// The keyboard's way into and through the header. F6 (Shift+F6) comes in at the first (last)
// control; the arrow keys, Tab and Shift+Tab go from control to control in the order they stand
// from left to right, Home and End to the ends; Enter or Space presses; Escape goes back to the
// page. Only the controls that do something take part; the mouse never gives them the focus.
#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace ostrel::ui {

class FocusFrame;
class Header;
class TGraphicControl;

class HeaderKeys final : public QObject {
    Q_OBJECT
public:
    HeaderKeys(const Header& header, QWidget* panel);

    std::function<void()> OnLeave; // back to the page

    void Enter(bool atTheEnd);
    // The focus is on a control of the header.
    bool Holds(const QObject* focus) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<TGraphicControl*> order() const;
    void focus(TGraphicControl* control);
    void showFrame();

    const Header& header_;
    FocusFrame* frame_;
};

} // namespace ostrel::ui
