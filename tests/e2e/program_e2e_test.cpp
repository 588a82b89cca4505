// The program itself, as a user starts and closes it.
#include "standin.h"

#include <QElapsedTimer>
#include <QProcess>

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
struct Program {
    QProcess process;
    std::unique_ptr<Display, int (*)(Display*)> display{XOpenDisplay(nullptr), XCloseDisplay};
    Window window = 0;

    bool start(const StandIn& standIn, const QStringList& arguments, const char* title)
    {
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        process.setProcessEnvironment(env);
        process.start(QString::fromUtf8(OSTREL_WEB_EXE), arguments);
        return display && process.waitForStarted(5000) &&
               waitFor([&] { return versionStampedRequests(standIn) == 1; }, 20s) && waitFor([&] {
                   window = findWindow(display.get(), DefaultRootWindow(display.get()), process.processId(), title);
                   return window != 0;
               }, 10s);
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
