// How the window reads to a screen reader: the header's light controls as the buttons, links, text
// and separators they look like, on a tool bar in a frame, each pressable as by the mouse.
#pragma once

class QRect;
class QWidget;

namespace ostrel::ui {

// Once per process, before the first window is shown.
void InstallAccessibility();

// Where a widget is on the screen in the screen's own pixels, as assistive technology takes
// positions (Qt's bridge hands on the scaled ones).
QRect ScreenPixelRect(const QWidget& widget);

} // namespace ostrel::ui
