#include "host/centring.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <utility>

namespace ostrel::host {

QMargins FrameMargins(const QWidget& window)
{
    if (const QWindow* handle = window.windowHandle(); handle && handle->frameMargins() != QMargins())
        return handle->frameMargins();
    for (const QWindow* other : QGuiApplication::topLevelWindows())
        if (other->isVisible() && other->frameMargins() != QMargins())
            return other->frameMargins();
    return {};
}

namespace {
// The window system frames a new window within a moment of showing it.
constexpr int kFramedWithinMs = 1000;
constexpr int kFramePollMs = 20;
const QString kWatchName = QStringLiteral("ostrel-frame-watch");

void fit(QWidget& window, std::optional<QSize> size, std::optional<QPoint> place, QRect within = {})
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QMargins frame = FrameMargins(window);
    QRect area = screen->availableGeometry();
    if (within.isValid() && area.intersects(within))
        area = area.intersected(within);
    if (size)
        window.resize(size->boundedTo(area.size().shrunkBy(frame)).expandedTo(window.minimumSize()));
    const QSize outer = window.size().grownBy(frame);
    QPoint at = place.value_or(QPoint(area.x() + (area.width() - outer.width()) / 2,
                                      area.y() + (area.height() - outer.height()) / 2));
    at.setX(
        std::clamp(at.x(), area.left(), std::max(area.left(), area.left() + area.width() - outer.width())));
    at.setY(
        std::clamp(at.y(), area.top(), std::max(area.top(), area.top() + area.height() - outer.height())));
    window.move(at); // move() places a top-level window's frame
}
} // namespace

// Once shown, the window is watched for a moment until the window system has framed it.
class FrameWatch final : public QObject {
public:
    FrameWatch(QWidget& window, std::function<void()> again)
        : QObject(&window), window_(window), again_(std::move(again))
    {
        // A newer placement takes over from an older one still watching. (No Q_OBJECT here, so
        // findChildren<FrameWatch*> would find every child: the watch goes by its name.)
        for (QObject* older : window.findChildren<QObject*>(kWatchName, Qt::FindDirectChildrenOnly))
            older->deleteLater();
        setObjectName(kWatchName);
        window_.installEventFilter(this);
        connect(&poll_, &QTimer::timeout, this, &FrameWatch::check);
        if (window_.isVisible())
            watch();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !poll_.isActive())
            watch();
        return false;
    }

private:
    void watch()
    {
        clock_.start();
        poll_.start(kFramePollMs);
    }

    void check()
    {
        const QWindow* handle = window_.windowHandle();
        const bool framed = handle && handle->isExposed() && handle->frameMargins() != QMargins();
        if (!framed && clock_.elapsed() < kFramedWithinMs)
            return;
        if (framed && !(window_.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
            again_();
        deleteLater();
    }

    QWidget& window_;
    std::function<void()> again_;
    QTimer poll_;
    QElapsedTimer clock_;
};

void CentreFrameOnScreen(QWidget& window)
{
    fit(window, std::nullopt, std::nullopt);
    new FrameWatch(window, [&window] { fit(window, std::nullopt, std::nullopt); });
}

void FitFrameOnScreen(QWidget& window, const QSize& size, std::optional<QPoint> place, QRect within)
{
    fit(window, size, place, within);
    // Once framed, again with the real frame.
    new FrameWatch(window, [&window, size, place, within] { fit(window, size, place, within); });
}

class MinimumOnScreen final : public QObject {
public:
    MinimumOnScreen(QWidget& window, QSize smallest) : QObject(&window), window_(window), smallest_(smallest)
    {
        window_.installEventFilter(this);
        apply();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Move || event->type() == QEvent::Show ||
            event->type() == QEvent::ScreenChangeInternal)
            apply();
        return false;
    }

private:
    void apply()
    {
        const QScreen* screen = window_.screen() ? window_.screen() : QGuiApplication::primaryScreen();
        if (screen)
            window_.setMinimumSize(
                smallest_.boundedTo(screen->availableGeometry().size().shrunkBy(FrameMargins(window_))));
    }

    QWidget& window_;
    QSize smallest_;
};

void KeepMinimumOnScreen(QWidget& window, const QSize& smallest)
{
    new MinimumOnScreen(window, smallest);
}

} // namespace ostrel::host
