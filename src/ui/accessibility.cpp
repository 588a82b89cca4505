#include "ui/accessibility.h"

#include "ui/TWebNavigator.h"
#include "ui/bevel.h"
#include "ui/image.h"
#include "ui/panel.h"
#include "ui/transparentbutton.h"
#include "ui/urllabel.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace ostrel::ui {

QRect ScreenPixelRect(const QWidget& widget)
{
    const QRect logical(widget.mapToGlobal(QPoint(0, 0)), widget.size());
    const QScreen* screen = widget.screen();
    if (!screen)
        return logical;
    // A screen keeps its origin in its own pixels; what lies on it is scaled from there.
    const qreal ratio = screen->devicePixelRatio();
    const QPoint origin = screen->geometry().topLeft();
    const QPoint topLeft = origin + (logical.topLeft() - origin) * ratio;
    const QPoint bottomRight = origin + (logical.bottomRight() + QPoint(1, 1) - origin) * ratio;
    return QRect(topLeft, bottomRight - QPoint(1, 1));
}

namespace {

// A widget of ours at its place in screen pixels.
class Positioned : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;
    QRect rect() const override { return widget()->isVisible() ? ScreenPixelRect(*widget()) : QRect(); }
};

// A header control: pressable when it has a click, reachable from the keyboard (F6) when it is.
class HeaderControl final : public Positioned {
public:
    HeaderControl(TGraphicControl* control, QAccessible::Role role) : Positioned(control, role) {}

    // The hint where it says more than the name, never the tooltip again.
    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Description ? widget()->accessibleDescription() : Positioned::text(kind);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = Positioned::state();
        state.focusable = pressable();
        return state;
    }
    QStringList actionNames() const override
    {
        return pressable() ? QStringList{pressAction(), setFocusAction()} : QStringList{};
    }
    void doAction(const QString& action) override
    {
        if (!pressable())
            return;
        if (action == setFocusAction()) {
            control()->setFocus(Qt::OtherFocusReason);
        } else if (action == pressAction()) {
            // Later, from the event loop: a command may show a message or pause, and the
            // technology waits for this call's answer.
            QTimer::singleShot(0, control(), [control = QPointer<TGraphicControl>(control())] {
                if (control && control->isVisible())
                    control->Click();
            });
        }
    }

private:
    TGraphicControl* control() const { return static_cast<TGraphicControl*>(widget()); }
    bool pressable() const { return static_cast<bool>(control()->OnClick); }
};

// The header: its controls in the order they stand, not the order they were made in.
class Panel final : public Positioned {
public:
    explicit Panel(TPanel* panel) : Positioned(panel, QAccessible::ToolBar) {}
    int childCount() const override { return static_cast<int>(controls().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<TGraphicControl*> all = controls();
        return index >= 0 && index < all.size() ? QAccessible::queryAccessibleInterface(all[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? static_cast<int>(controls().indexOf(qobject_cast<TGraphicControl*>(child->object())))
                     : -1;
    }

private:
    QList<TGraphicControl*> controls() const
    {
        QList<TGraphicControl*> all = widget()->findChildren<TGraphicControl*>(Qt::FindDirectChildrenOnly);
        std::stable_sort(all.begin(), all.end(), StandsBefore);
        return all;
    }
};

// The program's windows as a reader lists them: those that show. Qt lists every top-level window,
// the engine's hidden "Offscreen" one (its view's offscreen Quick window) among them.
class Application final : public QAccessibleApplication {
public:
    int childCount() const override { return static_cast<int>(shown().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QObjectList all = shown();
        return index >= 0 && index < all.size() ? QAccessible::queryAccessibleInterface(all[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? static_cast<int>(shown().indexOf(child->object())) : -1;
    }

private:
    static QObjectList shown()
    {
        QObjectList all;
        for (QWindow* window : QGuiApplication::topLevelWindows())
            if (window->isVisible() && window->type() != Qt::Popup && window->type() != Qt::Desktop)
                if (QAccessibleInterface* root = window->accessibleRoot(); root && root->object())
                    all << root->object();
        return all;
    }
};

QAccessible::Role roleOf(const TGraphicControl& control)
{
    if (qobject_cast<const TJvTransparentButton*>(&control))
        return QAccessible::Button;
    if (qobject_cast<const TRzURLLabel*>(&control) || qobject_cast<const TJvImage*>(&control))
        return QAccessible::Link; // the logo leads to the contact page
    if (qobject_cast<const TBevel*>(&control))
        return QAccessible::Separator;
    return QAccessible::StaticText;
}

QAccessibleInterface* create(const QString& /*className*/, QObject* object)
{
    if (auto* control = qobject_cast<TGraphicControl*>(object))
        return new HeaderControl(control, roleOf(*control));
    if (auto* panel = qobject_cast<TPanel*>(object))
        return new Panel(panel);
    if (auto* window = qobject_cast<TWebNavigator*>(object))
        return new Positioned(window, QAccessible::Window);
    if (object && object == QCoreApplication::instance())
        return new Application;
    return nullptr;
}

} // namespace

void InstallAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(create);
        return true;
    }();
    (void)installed;
}

} // namespace ostrel::ui
