// Placing a top-level window on the screen by its outer frame, as the desktop does, not by its
// client area (which would put the frame a title bar's half lower).
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

namespace ostrel::host {

// Centres the window's frame on its screen now, taking the frame of a window already shown for
// its own while the window system has not framed it yet; once it has, the window is centred again
// if its real frame differs.
void CentreFrameOnScreen(QWidget& window);

// Gives the window the size asked for as far as the screen's available area holds it with its
// frame, and puts the frame inside that area: at the place asked for, moved in as far as need be,
// or centred when none is asked. The title bar is never off the screen. Done again once the window
// system has framed the window. within: the part of the screen the window may take (global; all
// of the available area when empty).
void FitFrameOnScreen(QWidget& window, const QSize& size, std::optional<QPoint> place = std::nullopt,
                      QRect within = {});
// Keeps the window's least size at smallest as far as the screen's available area holds it with
// its frame (a large scale on a small screen): the window is never made wider or higher than the
// screen. Looked at again when the window is framed, moves, or goes to another screen.
void KeepMinimumOnScreen(QWidget& window, const QSize& smallest);
// The frame around the window's client area: its own once the window system has framed it, else
// that of another window of ours that is (the same window system draws the same title bar and
// borders); none before any is.
QMargins FrameMargins(const QWidget& window);

} // namespace ostrel::host
