#include "host/centring.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace ostrel::host {

namespace {
// The window system frames a new window within a moment of showing it.
constexpr int kFramedWithinMs = 1000;
constexpr int kFramePollMs = 20;

// The frame around the client area: the window's own once it is framed, else that of another
// window of ours that is (the same window system draws the same title bar and borders).
QMargins frameOf(const QWidget& window)
{
    if (const QWindow* handle = window.windowHandle(); handle && handle->frameMargins() != QMargins())
        return handle->frameMargins();
    for (const QWindow* other : QGuiApplication::topLevelWindows())
        if (other->isVisible() && other->frameMargins() != QMargins())
            return other->frameMargins();
    return {};
}

void centre(QWidget& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QMargins frame = frameOf(window);
    const QSize outer = window.size().grownBy(frame);
    const QRect area = screen->availableGeometry();
    // move() places a top-level window's frame.
    window.move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
}
} // namespace

// Once shown, the window is watched for a moment until the window system has framed it.
class FrameWatch final : public QObject {
public:
    explicit FrameWatch(QWidget& window) : QObject(&window), window_(window)
    {
        window_.installEventFilter(this);
        connect(&poll_, &QTimer::timeout, this, &FrameWatch::check);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !poll_.isActive()) {
            clock_.start();
            poll_.start(kFramePollMs);
        }
        return false;
    }

private:
    void check()
    {
        const QWindow* handle = window_.windowHandle();
        const bool framed = handle && handle->isExposed() && handle->frameMargins() != QMargins();
        if (!framed && clock_.elapsed() < kFramedWithinMs)
            return;
        if (framed && !(window_.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
            centre(window_);
        deleteLater();
    }

    QWidget& window_;
    QTimer poll_;
    QElapsedTimer clock_;
};

void CentreFrameOnScreen(QWidget& window)
{
    centre(window);
    new FrameWatch(window);
}

} // namespace ostrel::host
