// Centring a top-level window on the screen by its outer frame, as the desktop does, not by its
// client area (which would put the frame a title bar's half lower).
#pragma once

class QWidget;

namespace ostrel::host {

// Centres the window's frame on its screen now, taking the frame of a window already shown for
// its own while the window system has not framed it yet; once it has, the window is centred again
// if its real frame differs.
void CentreFrameOnScreen(QWidget& window);

} // namespace ostrel::host
