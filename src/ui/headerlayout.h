// The header panel's layout: every control with its place, texts and looks, in creation order
// (which is also the stacking order: a later control lies on top), and the compact layout.
#pragma once

#include "base/control.h"
#include "ui/graphiccontrol.h"
#include "ui/transparentbutton.h"

#include <QObject>

#include <array>
#include <span>
#include <string_view>

namespace ostrel::host {
class Shell;
}

namespace ostrel::ui {

enum class Kind { Button, Image, Label, UrlLabel, Bevel };
enum class Anchor { Left, Right };

struct ControlLayout {
    Control control;
    Kind kind;
    int left, top, width, height;
    Anchor anchor;
    bool visible;
    std::string_view caption; // UTF-8
    std::string_view hint;    // empty: no tooltip
    FrameStyle frame;
    TextAlign align;
    int spacing;
    bool wordWrap;
    int fontHeight; // pixels
    std::string_view glyph; // resource name, empty for none
};

// The header at the design panel width; right-anchored controls keep their distance to the
// panel's right edge from there. A panel too narrow for one row (a large scale on a small screen)
// takes a row more for a group of controls that no longer fits beside the ones before it.
inline constexpr int kDesignPanelWidth = 1259;
extern const std::span<const ControlLayout> kHeaderLayout;

// The compact layout: hide, move by (relative) or place at (absolute), in this order.
struct CompactStep {
    enum Op { Hide, MoveBy, PlaceAt };
    Control control;
    Op op;
    int value;
};
extern const std::span<const CompactStep> kCompactLayout;

// Builds the header's controls on the panel from the table and keeps the right-anchored ones at
// their distance from the right edge whenever the panel's width changes.
class Header final : public QObject {
    Q_OBJECT
public:
    Header(QWidget* panel, host::Shell& shell);

    TGraphicControl* Widget(Control control) const;
    // The control as the kind its row makes it.
    template <class T>
    T* Get(Control control) const
    {
        Q_ASSERT(dynamic_cast<T*>(Widget(control)));
        return static_cast<T*>(Widget(control));
    }

    // Applying it twice moves the moved controls twice: moves are relative, placements absolute.
    void ApplyCompactLayout();

    // The header's groups, left to right: the large buttons, the columns of text buttons from the
    // divider before them, and the right-anchored logo and contact block.
    enum Group { LargeButtons, TextColumns, Contact, kGroups };

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Extent {
        int left = kDesignPanelWidth, right = 0;
    };
    std::array<Extent, kGroups> extents() const;
    void layOut(int panelWidth);
    void loadPictures();

    QWidget* panel_;
    std::array<TGraphicControl*, kControlCount> widgets_{};
    std::array<int, kControlCount> lefts_{}; // in one row at the design width, compact layout applied
};

} // namespace ostrel::ui
