// The program itself, as a user starts and closes it.
#include "standin.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <iostream>
#include <memory>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using testing::StandIn;
using testing::waitFor;

// The top-level X window of a process with the given title, as a window manager would see it.
Window findWindow(Display* display, Window parent, qint64 pid, const char* title)
{
    Window root = 0, up = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return 0;
    std::unique_ptr<Window, int (*)(void*)> owned(children, XFree);
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    for (unsigned int i = 0; i < count; ++i) {
        XTextProperty name{};
        const bool titled = XGetWMName(display, children[i], &name) && name.value &&
                            std::strcmp(reinterpret_cast<const char*>(name.value), title) == 0;
        if (name.value)
            XFree(name.value);
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        bool ours = false;
        if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                               &after, &data) == Success &&
            data) {
            ours = items == 1 && static_cast<qint64>(*reinterpret_cast<unsigned long*>(data)) == pid;
            XFree(data);
        }
        if (titled && ours)
            return children[i];
        if (Window w = findWindow(display, children[i], pid, title))
            return w;
    }
    return 0;
}

// What a window manager's close button does: ask the window to close.
void askToClose(Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

int versionStampedRequests(const StandIn& standIn)
{
    int count = 0;
    for (const QJsonObject& request : standIn.requests())
        count += request[u"target"].toString() == u"/?version=6.9";
    return count;
}

bool xdotool(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

// The program on the X server, started as a user starts it, found by its window's title once its
// start-up has asked for the version-stamped page.
// A window can go between two questions about it: an error is an answer, not the end.
int ignoreXErrors(Display*, XErrorEvent*)
{
    return 0;
}

struct Program {
    QProcess process;
    std::unique_ptr<Display, int (*)(Display*)> display{XOpenDisplay(nullptr), XCloseDisplay};
    Window window = 0;
    Program() { XSetErrorHandler(ignoreXErrors); }

    bool start(const StandIn& standIn, const QStringList& arguments, const char* title)
    {
        return launch(arguments) && waitFor([&] { return versionStampedRequests(standIn) == 1; }, 20s) &&
               (window = find(title)) != 0;
    }
    bool launch(const QStringList& arguments, const QProcessEnvironment& base = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment env = base;
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        process.setProcessEnvironment(env);
        process.start(QString::fromUtf8(OSTREL_WEB_EXE), arguments);
        return display && process.waitForStarted(5000);
    }
    // The program's window with this title, once it is on the screen (0 if it does not come).
    Window find(const char* title)
    {
        Window found = 0;
        waitFor([&] {
            found = findWindow(display.get(), DefaultRootWindow(display.get()), process.processId(), title);
            XWindowAttributes attributes{};
            return found != 0 && XGetWindowAttributes(display.get(), found, &attributes) &&
                   attributes.map_state == IsViewable;
        }, 20s);
        return found;
    }
    // Asks the window to close, as a window manager's close button does; the exit code, or -1.
    int close()
    {
        askToClose(display.get(), window);
        if (!process.waitForFinished(15000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        return process.exitCode();
    }
};

// The outer rectangle of a window as the window manager framed it, on the root window.
QRect frameOf(Display* display, Window window)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    for (Window w = window; XQueryTree(display, w, &root, &parent, &children, &count); w = parent) {
        if (children)
            XFree(children);
        if (parent == root) {
            XWindowAttributes attributes{};
            XGetWindowAttributes(display, w, &attributes);
            return QRect(attributes.x, attributes.y, attributes.width + 2 * attributes.border_width,
                         attributes.height + 2 * attributes.border_width);
        }
    }
    return {};
}

// The names of the actions the window manager offers for a window (_NET_WM_ALLOWED_ACTIONS).
QStringList allowedActions(Display* display, Window window)
{
    QStringList names;
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_ALLOWED_ACTIONS", False), 0, 64, False,
                           XA_ATOM, &type, &format, &items, &after, &data) != Success || !data)
        return names;
    for (unsigned long i = 0; i < items; ++i) {
        char* name = XGetAtomName(display, reinterpret_cast<Atom*>(data)[i]);
        names << QString::fromLatin1(name);
        XFree(name);
    }
    XFree(data);
    return names;
}

// The buttons a window asks its frame for (_MOTIF_WM_HINTS decorations; all when it asks none).
constexpr unsigned long kMotifMinimizeButton = 1 << 5, kMotifMaximizeButton = 1 << 6, kMotifAll = 1;
unsigned long motifDecorations(Display* display, Window window)
{
    const Atom hints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0, decorations = kMotifAll;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, hints, 0, 5, False, hints, &type, &format, &items, &after, &data) ==
            Success && data) {
        const auto* fields = reinterpret_cast<unsigned long*>(data); // flags, functions, decorations, ...
        if (items >= 3 && (fields[0] & 2))
            decorations = fields[2];
        XFree(data);
    }
    return decorations & kMotifAll ? ~0ul : decorations;
}

// A window manager on the test's X server for as long as it lives (the program asks for its
// features at start, so it runs first).
struct WindowManager {
    QProcess process;
    WindowManager()
    {
        process.start(QStringLiteral("openbox"), {});
        process.waitForStarted(5000);
        waitFor([] {
            QProcess xprop;
            xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
            xprop.waitForFinished(2000);
            return xprop.readAll().contains("#");
        }, 10s);
    }
    ~WindowManager()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

bool haveX()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") && qgetenv("QT_QPA_PLATFORM") != "offscreen";
}

TEST(ProgramE2E, startsOnThePortalWithItsModesAndExitsWithZeroWhenItsWindowIsClosed)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Program program;
    ASSERT_TRUE(program.start(standIn, {QStringLiteral("light"), QStringLiteral("x/Debug")},
                              "Ostrel Web 6.9 ***LIGHT*** ***DEBUG MODE***"));
    EXPECT_EQ(program.close(), 0);
}

// A page has opened a window of its own: closing the main window still ends the program, with
// code 0, and the page's window goes with it.
TEST(ProgramE2E, closingTheMainWindowEndsTheProgramWhileAPagesWindowIsOpen)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    StandIn standIn({QStringLiteral("--open-window")});
    ASSERT_TRUE(standIn.started());
    Program program;
    ASSERT_TRUE(program.start(standIn, {}, "Ostrel Web 6.9"));
    ASSERT_TRUE(waitFor([&] { return !standIn.requestsTo(QStringLiteral("/popup/target")).isEmpty(); }, 10s));
    waitFor([] { return false; }, 500ms);
    QElapsedTimer closing;
    closing.start();
    EXPECT_EQ(program.close(), 0);
    std::cout << "Closing the main window with a page's window open: the process ended after "
              << closing.elapsed() << " ms\n";
}

// With a window manager: the restored window (start-up could not register the browser) and the
// program's message sit with their outer frames at the screen's centre, and the message offers
// neither minimising nor maximising.
TEST(ProgramE2E, theRestoredWindowAndTheMessageAreCentredByTheirFrames)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
        GTEST_SKIP() << "needs openbox";
    StandIn standIn({QStringLiteral("--status"), QStringLiteral("gateway1=500"), QStringLiteral("--status"),
                     QStringLiteral("gateway2=500")});
    ASSERT_TRUE(standIn.started());
    WindowManager manager;
    QTemporaryDir config; // the store's folder cannot be made where a file of that name stands
    QFile blocker(config.filePath(QStringLiteral("ostrel-web")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());

    Program program;
    ASSERT_TRUE(program.launch({}, env));
    Display* display = program.display.get();
    const Window errorBox = program.find("Ostrel Web");
    ASSERT_NE(errorBox, 0u) << "the IE11 error box";
    ASSERT_TRUE(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(errorBox)}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    ASSERT_NE(program.find("Ostrel Web 6.9"), 0u);
    waitFor([] { return false; }, 1500ms); // framed, and centred again if need be
    program.window = program.find("Ostrel Web 6.9"); // Qt may have made its X window anew meanwhile

    const QPoint screenCentre(DisplayWidth(display, DefaultScreen(display)) / 2,
                              DisplayHeight(display, DefaultScreen(display)) / 2);
    const QRect window = frameOf(display, program.window);
    std::cout << "Restored window frame " << window.width() << "x" << window.height() << " at " << window.x() << ","
              << window.y() << "; its centre is " << (window.center() - screenCentre).y() << " px below the screen's\n";
    EXPECT_LE((window.center() - screenCentre).manhattanLength(), 2);

    ASSERT_TRUE(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(program.window)}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("F2")}));
    const Window message = program.find("Ostrel Web");
    ASSERT_NE(message, 0u) << "the connection message";
    waitFor([] { return false; }, 1500ms);
    const QRect box = frameOf(display, message);
    std::cout << "Message frame " << box.width() << "x" << box.height() << "; its centre is "
              << (box.center() - screenCentre).y() << " px below the screen's\n";
    EXPECT_LE((box.center() - screenCentre).manhattanLength(), 2);
    const QStringList actions = allowedActions(display, message);
    EXPECT_TRUE(actions.contains(QStringLiteral("_NET_WM_ACTION_CLOSE"))) << actions.join(u' ').toStdString();
    EXPECT_FALSE(actions.contains(QStringLiteral("_NET_WM_ACTION_MAXIMIZE_VERT"))) << actions.join(u' ').toStdString();
    const unsigned long decorations = motifDecorations(display, message);
    EXPECT_FALSE(decorations & (kMotifMinimizeButton | kMotifMaximizeButton)) << "decorations " << decorations;
    ASSERT_TRUE(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(message)}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    EXPECT_EQ(program.close(), 0);
}

TEST(ProgramE2E, aHeldF5FiresOnceOnItsRelease)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    Program program;
    ASSERT_TRUE(program.start(standIn, {}, "Ostrel Web 6.9"));
    const Window window = program.window;
    // Real key events through the X server (XTEST), which repeats a held key by itself.
    ASSERT_TRUE(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(window)}));
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("F5")}));
    waitFor([] { return false; }, 1500ms);
    EXPECT_EQ(versionStampedRequests(standIn), 1) << "nothing fires while the key is held";
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("F5")}));
    // The page, then its reload a second later; and nothing more.
    EXPECT_TRUE(waitFor([&] { return versionStampedRequests(standIn) == 3; }, 10s));
    waitFor([] { return false; }, 2s);
    EXPECT_EQ(versionStampedRequests(standIn), 3);

    EXPECT_EQ(program.close(), 0);
}

} // namespace
} // namespace ostrel
