// The menu of a page's right click, as users know it from any browser: copying, pasting and
// selecting, opening a link in a new window and saving it. No developer tools, no page source.
#pragma once

class QPoint;
class QWebEngineView;

namespace ostrel::web {

// Opens the menu for the view's last context-menu request at the given place on the screen.
void ShowPageMenu(QWebEngineView& view, const QPoint& globalPosition);

} // namespace ostrel::web
