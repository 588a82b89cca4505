// Where a user clicks each header button and image at a panel width, from the program's own layout
// table: "NAME X Y" a line, relative to the window's client area (the scripts that drive the program
// through the X server add the window's origin).
//   ostrel-header-controls [PANEL_WIDTH]
#include "ui/headerlayout.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    using namespace ostrel::ui;
    const int width = argc > 1 ? std::atoi(argv[1]) : kDesignPanelWidth;
    for (const ControlLayout& row : kHeaderLayout) {
        if ((row.kind != Kind::Button && row.kind != Kind::Image) || !row.visible)
            continue;
        const int left = row.anchor == Anchor::Right ? row.left + width - kDesignPanelWidth : row.left;
        const std::string_view name = ostrel::NameOf(row.control);
        std::printf("%.*s %d %d\n", int(name.size()), name.data(), left + std::min(row.width / 2, 20),
                    row.top + row.height / 2);
    }
}
