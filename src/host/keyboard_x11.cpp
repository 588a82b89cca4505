#include "host/keyboard.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

// Last: Xlib's macros would break the headers above.
#include <X11/XKBlib.h>

namespace ostrel::host {

void MakeHeldKeysReleaseOnce()
{
    // (The offscreen platform answers as an X11 one but has no display.)
    if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>(); x11 && x11->display())
        XkbSetDetectableAutoRepeat(x11->display(), True, nullptr);
}

} // namespace ostrel::host
