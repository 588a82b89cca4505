#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>

#include <functional>

namespace ostrel::ui {

// The header panel. A press of any mouse button on its own background is OnMouseDown's.
class TPanel final : public QWidget {
    Q_OBJECT
public:
    TPanel(QWidget* parent, const QColor& colour);

    std::function<void(QMouseEvent*)> OnMouseDown;

    // Lets the window system move the window with the pointer, as a drag of its title bar would;
    // without one, moves it here until the button is released.
    void StartWindowMove(QMouseEvent* press);
    bool MovingWindow() const { return moving_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor colour_;
    bool moving_ = false;
    QPoint moveOrigin_;
};

} // namespace ostrel::ui
