// The menu of a page's right click, as users know it from any browser: copying, pasting and
// selecting, opening a link in a new window and saving it. No developer tools, no page source.
// Last, after a separator, the program's own entry ("Over Ostrel Web").
#pragma once

#include <QString>

#include <functional>

class QPoint;
class QWebEngineView;

namespace ostrel::web {

// The program's own entry of every page menu, the main view's and its windows' alike: its text and
// what choosing it runs. A page has no way to it.
struct ProgramMenuEntry {
    QString text;
    std::function<void()> run;
};

// Opens the menu for the view's last context-menu request at the given place on the screen; with
// the program's entry last when there is one.
void ShowPageMenu(QWebEngineView& view, const QPoint& globalPosition, const ProgramMenuEntry* entry);

} // namespace ostrel::web
