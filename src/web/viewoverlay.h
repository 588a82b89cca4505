// What the program shows over a page (its questions, the blocked-window bar) lies over the view as
// the view's sibling, never its child: the engine's view gives assistive technology the page alone,
// so a child of it is never read, and Tab from it would land in the page behind. It follows the
// view's place and size and goes with the view; a reader hears it as the role it is given.
#pragma once

#include <QAccessible>
#include <QFrame>
#include <QList>
#include <QPointer>
#include <QRect>

namespace ostrel::web {

class ViewOverlay : public QFrame {
    Q_OBJECT
public:
    QWidget* view() const { return view_; }

    // The overlays of kind T over the view, oldest first.
    template <class T> static QList<T*> Over(const QWidget* view)
    {
        QList<T*> found;
        if (!view)
            return found;
        const QWidget* host = view->parentWidget() ? view->parentWidget() : view;
        for (T* overlay : host->template findChildren<T*>(QString(), Qt::FindDirectChildrenOnly))
            if (overlay->view() == view)
                found << overlay;
        return found;
    }

protected:
    // role: what assistive technology is told it is (Qt would call it a frame).
    ViewOverlay(QWidget* view, QAccessible::Role role);
    // Places the overlay within the view's rectangle, given in the coordinates of its parent.
    virtual void place(const QRect& view) = 0;
    // Shows it on top, in place.
    void showOnTop();
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect viewArea() const;

    QPointer<QWidget> view_;
};

} // namespace ostrel::web
