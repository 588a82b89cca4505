// The program itself, as a user starts and closes it.
#include "standin.h"

#include "ui/headerlayout.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QUrl>
#include <QUrlQuery>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using testing::StandIn;
using testing::waitFor;

// Whether a window belongs to the process (its _NET_WM_PID).
bool ofProcess(Display* display, Window window, qint64 pid)
{
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                           &type, &format, &items, &after, &data) != Success ||
        !data)
        return false;
    const bool ours = items == 1 && static_cast<qint64>(*reinterpret_cast<unsigned long*>(data)) == pid;
    XFree(data);
    return ours;
}

// The top-level X window of a process with the given title, as a window manager would see it.
Window findWindow(Display* display, Window parent, qint64 pid, const char* title)
{
    Window root = 0, up = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return 0;
    std::unique_ptr<Window, int (*)(void*)> owned(children, XFree);
    for (unsigned int i = 0; i < count; ++i) {
        XTextProperty name{};
        const bool titled = XGetWMName(display, children[i], &name) && name.value &&
                            std::strcmp(reinterpret_cast<const char*>(name.value), title) == 0;
        if (name.value)
            XFree(name.value);
        if (titled && ofProcess(display, children[i], pid))
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

int versionStamped(const QList<QJsonObject>& requests)
{
    int count = 0;
    for (const QJsonObject& request : requests)
        count += request[u"target"].toString() == u"/?version=6.9";
    return count;
}

bool xdotool(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

// Gives the window the keyboard focus and sends it keys through the X server ("key F5", "keydown F5").
bool keysTo(unsigned long window, const QStringList& keys)
{
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(window)}) &&
           xdotool(keys);
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
        return launch(arguments) && waitFor([&] { return versionStamped(standIn.requests()) == 1; }, 20s) &&
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
    // The program's top-level windows on the screen.
    int windows()
    {
        int count = 0;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(display.get(), DefaultRootWindow(display.get()), &root, &parent, &children, &n))
            return 0;
        std::unique_ptr<Window, int (*)(void*)> owned(children, XFree);
        for (unsigned int i = 0; i < n; ++i) {
            XWindowAttributes attributes{};
            count += ofProcess(display.get(), children[i], process.processId()) &&
                     XGetWindowAttributes(display.get(), children[i], &attributes) &&
                     attributes.map_state == IsViewable;
        }
        return count;
    }
    // Presses F11, which acts at once, and so proves that whatever the keys before it set off has
    // reached the stand-in: the requests after the first `since` and before F11's.
    QList<QJsonObject> requestsBeforeF11(const StandIn& standIn, qsizetype since)
    {
        EXPECT_TRUE(keysTo(window, {QStringLiteral("key"), QStringLiteral("F11")}));
        const auto between = standIn.requestsBefore(QStringLiteral("/ostrelsupport"), since);
        EXPECT_TRUE(between) << "F11 reached no server";
        return between.value_or(QList<QJsonObject>());
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
    ASSERT_TRUE(waitFor([&] { return program.windows() == 2; }, 10s)) << "the page's window is on the screen";
    QElapsedTimer closing;
    closing.start();
    EXPECT_EQ(program.close(), 0);
    std::cout << "Closing the main window with a page's window open: the process ended after "
              << closing.elapsed() << " ms\n";
}

// --version and --help answer on the terminal without a window: without a display they would fail
// if they made one.
TEST(ProgramE2E, versionAndHelpAnswerWithoutAWindow)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    for (const char* argument : {"--version", "--help"}) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(OSTREL_WEB_EXE), {QLatin1String(argument)});
        ASSERT_TRUE(program.waitForFinished(10000)) << argument;
        EXPECT_EQ(program.exitCode(), 0) << argument << ": " << program.readAllStandardError().toStdString();
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        if (QLatin1String(argument) == u"--help") {
            EXPECT_TRUE(out.contains(u"--version") && out.contains(u"\"light\"")) << out.toStdString();
            continue;
        }
        EXPECT_EQ(out, QStringLiteral("Ostrel Web 6.9\nQt %1\nQt WebEngine %2, Chromium %3 (beveiligingspatches tot %4)\n")
                           .arg(QLatin1String(qVersion()), QLatin1String(qWebEngineVersion()),
                                QLatin1String(qWebEngineChromiumVersion()),
                                QLatin1String(qWebEngineChromiumSecurityPatchVersion())));
    }
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
    ASSERT_TRUE(keysTo(errorBox, {QStringLiteral("key"), QStringLiteral("Return")}));
    const QPoint screenCentre(DisplayWidth(display, DefaultScreen(display)) / 2,
                              DisplayHeight(display, DefaultScreen(display)) / 2);
    const auto centred = [&](const QRect& frame) { return (frame.center() - screenCentre).manhattanLength() <= 2; };
    QRect window; // framed, and centred again if need be; Qt may make its X window anew meanwhile
    waitFor([&] { return centred(window = frameOf(display, program.window = program.find("Ostrel Web 6.9"))); },
            10s);
    std::cout << "Restored window frame " << window.width() << "x" << window.height() << " at " << window.x() << ","
              << window.y() << "; its centre is " << (window.center() - screenCentre).y() << " px below the screen's\n";
    EXPECT_LE((window.center() - screenCentre).manhattanLength(), 2);

    ASSERT_TRUE(keysTo(program.window, {QStringLiteral("key"), QStringLiteral("F2")}));
    const Window message = program.find("Ostrel Web");
    ASSERT_NE(message, 0u) << "the connection message";
    QRect box;
    waitFor([&] { return centred(box = frameOf(display, message)); }, 10s);
    std::cout << "Message frame " << box.width() << "x" << box.height() << "; its centre is "
              << (box.center() - screenCentre).y() << " px below the screen's\n";
    EXPECT_LE((box.center() - screenCentre).manhattanLength(), 2);
    const QStringList actions = allowedActions(display, message);
    EXPECT_TRUE(actions.contains(QStringLiteral("_NET_WM_ACTION_CLOSE"))) << actions.join(u' ').toStdString();
    EXPECT_FALSE(actions.contains(QStringLiteral("_NET_WM_ACTION_MAXIMIZE_VERT"))) << actions.join(u' ').toStdString();
    const unsigned long decorations = motifDecorations(display, message);
    EXPECT_FALSE(decorations & (kMotifMinimizeButton | kMotifMaximizeButton)) << "decorations " << decorations;
    ASSERT_TRUE(keysTo(message, {QStringLiteral("key"), QStringLiteral("Return")}));
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
    // A key pressed again while down is what the X server sends for a held key: its repeats.
    ASSERT_TRUE(keysTo(window, {QStringLiteral("keydown"), QStringLiteral("F5"), QStringLiteral("keydown"),
                                QStringLiteral("F5"), QStringLiteral("keydown"), QStringLiteral("F5")}));
    EXPECT_EQ(versionStamped(program.requestsBeforeF11(standIn, 0)), 1) << "nothing fires while the key is held";
    qsizetype since = standIn.requests().size();
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("F5")}));
    // The page, then its reload a second later; and nothing more.
    EXPECT_TRUE(waitFor([&] { return versionStamped(standIn.requests()) == 3; }, 10s));
    EXPECT_EQ(versionStamped(program.requestsBeforeF11(standIn, since)), 2);

    EXPECT_EQ(program.close(), 0);
}

// The program as a user runs it, with a home of its own and, first on its PATH, an xdg-open and a
// calculator that only write down what they were given. extraEnv goes into its environment.
struct ProgramAtHome : Program {
    QTemporaryDir home;
    const QString opened = home.filePath(QStringLiteral("xdg-open.log"));
    const QString downloads = home.filePath(QStringLiteral("Downloads"));
    StandIn standIn;

    explicit ProgramAtHome(const QStringList& standInArgs, const QProcessEnvironment& extraEnv = {})
        : standIn(standInArgs)
    {
        QDir().mkpath(home.filePath(QStringLiteral("bin")));
        for (const char* tool : {"xdg-open", "gnome-calculator"}) {
            QFile script(home.filePath(QStringLiteral("bin/") + QLatin1String(tool)));
            script.open(QIODevice::WriteOnly);
            script.write("#!/bin/sh\nprintf '%s\\n' \"$0 $*\" >> '" + opened.toUtf8() + "'\n");
            script.close();
            script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("PATH"),
                   home.filePath(QStringLiteral("bin")) + u':' + env.value(QStringLiteral("PATH")));
        env.insert(extraEnv);
        if (standIn.started() && launch({}, env))
            window = find("Ostrel Web 6.9");
    }
    ~ProgramAtHome()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    QStringList handedToTheDesktop() const
    {
        QFile log(opened);
        return log.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    // Presses F12, whose calculator writes its line after those of whatever was handed to the desktop
    // before: those lines.
    QStringList handedBeforeTheCalculator()
    {
        EXPECT_TRUE(keysTo(window, {QStringLiteral("key"), QStringLiteral("F12")}));
        QStringList before;
        EXPECT_TRUE(waitFor([&] {
            const QStringList lines = handedToTheDesktop();
            const auto calculator = std::find_if(lines.begin(), lines.end(), [](const QString& line) {
                return line.contains(u"gnome-calculator");
            });
            before = QStringList(lines.begin(), calculator);
            return calculator != lines.end();
        }, 10s)) << "F12 started no calculator";
        return before;
    }
    QStringList saved() const { return QDir(downloads).entryList(QDir::Files); }
    // A click of the user's on a header control, through the X server.
    bool click(int x, int y)
    {
        return xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
                        QString::number(x), QString::number(y), QStringLiteral("click"),
                        QStringLiteral("1")});
    }
    bool clickFormulieren() // the middle of its button at design size
    {
        const auto& row = *std::find_if(ui::kHeaderLayout.begin(), ui::kHeaderLayout.end(),
                                        [](const ui::ControlLayout& r) { return r.control == Control::BtnFormulieren; });
        return click(row.left + row.width / 2, row.top + row.height / 2);
    }
    int formsRequests() const
    {
        return static_cast<int>(standIn.requestsTo(QStringLiteral("/download/download.asp")).size());
    }
};

// The program on a portal whose page attacks: the stand-in's version-stamped page sends it to one of
// its hostile pages.
struct AttackedProgram : ProgramAtHome {
    explicit AttackedProgram(const QString& page)
        : ProgramAtHome(
              {QStringLiteral("--start-page"), page, QStringLiteral("elsewhere=http://127.0.0.1:47290")})
    {
    }
};

// Hidden frames send launch files by name only, by type only, and real ones, with no click: the
// desktop gets none. F5 reloads the page, which brings none of them again; only the file that each
// load names anew (after-load-*, last).
TEST(ProgramE2E, aPagesHiddenDownloadsOpenNothingAndItsReloadBringsThemNotAgain)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    AttackedProgram program(QStringLiteral("/hostile/downloads"));
    ASSERT_NE(program.window, 0u);
    ASSERT_TRUE(waitFor([&] { return program.saved().size() == 8; }, 20s))
        << program.saved().join(u' ').toStdString();
    const QStringList handed = program.handedBeforeTheCalculator();
    EXPECT_TRUE(handed.isEmpty()) << handed.join(u" | ").toStdString();

    ASSERT_TRUE(keysTo(program.window, {QStringLiteral("key"), QStringLiteral("F5")}));
    const auto reloaded = [&] { return program.saved().filter(QStringLiteral("after-load-")).size() == 2; };
    ASSERT_TRUE(waitFor(reloaded, 20s)) << program.saved().join(u' ').toStdString();
    EXPECT_EQ(program.saved().size(), 9) << program.saved().join(u' ').toStdString();
}

// A script of the insurer's page navigates to ftp:// fifty times, with no click: the address goes
// to the desktop once.
TEST(ProgramE2E, theInsurersPageGoingToFtpFiftyTimesHandsItOverOnce)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    AttackedProgram program(
        QStringLiteral("/hostile/navigate?n=50&every=20&to=ftp%3A%2F%2Fftp.example.nl%2Fx"));
    ASSERT_NE(program.window, 0u);
    ASSERT_TRUE(program.standIn.pageReached(QStringLiteral("navigated")));
    // The page's last navigation may reach the engine's hand-off after the page has told of it.
    ASSERT_TRUE(waitFor([&] { return !program.handedToTheDesktop().isEmpty(); }, 10s));
    const QStringList handed = program.handedBeforeTheCalculator();
    ASSERT_EQ(handed.size(), 1) << handed.join(u" | ").toStdString();
    EXPECT_TRUE(handed[0].endsWith(u"/xdg-open ftp://ftp.example.nl/x")) << handed[0].toStdString();
}

// A header click away from a page whose script holds its renderer goes once the program has ended
// that renderer (after 5 s without an answer) and started another: how long it may take on a busy
// machine, which says that it got there, not how fast (the tests print that).
constexpr auto kPastAHeldRenderer = 30s;

// An alert that comes back as soon as it is answered: the header still acts, and the window's
// close button ends the program.
TEST(ProgramE2E, anAlertLoopHoldsNeitherTheHeaderNorTheCloseButton)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    {
        AttackedProgram program(QStringLiteral("/hostile/alerts"));
        ASSERT_NE(program.window, 0u);
        ASSERT_TRUE(program.standIn.pageReached(QStringLiteral("alerts=0")));
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(program.clickFormulieren());
        EXPECT_TRUE(waitFor([&] { return program.formsRequests() == 1; }, kPastAHeldRenderer));
        std::cout << "Formulieren during an alert loop: at the server after " << clock.elapsed() << " ms\n";
    }
    {
        AttackedProgram program(QStringLiteral("/hostile/alerts"));
        ASSERT_NE(program.window, 0u);
        ASSERT_TRUE(program.standIn.pageReached(QStringLiteral("alerts=0")));
        EXPECT_EQ(program.close(), 0);
    }
    if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
        GTEST_SKIP() << "Alt+F4 needs a window manager: openbox";
    WindowManager manager;
    AttackedProgram program(QStringLiteral("/hostile/alerts"));
    ASSERT_NE(program.window, 0u);
    ASSERT_TRUE(program.standIn.pageReached(QStringLiteral("alerts=0")));
    ASSERT_TRUE(keysTo(program.window, {QStringLiteral("key"), QStringLiteral("alt+F4")}));
    EXPECT_TRUE(program.process.waitForFinished(10000)) << "Alt+F4";
    EXPECT_EQ(program.process.exitCode(), 0);
}

// A script that never ends: a header click still takes the user away.
TEST(ProgramE2E, aPageWhoseScriptNeverEndsIsLeftOnAHeaderClick)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    AttackedProgram program(QStringLiteral("/hostile/hang?after=200"));
    ASSERT_NE(program.window, 0u);
    ASSERT_TRUE(program.standIn.pageReached(QStringLiteral("looping")));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(program.clickFormulieren());
    EXPECT_TRUE(waitFor([&] { return program.formsRequests() == 1; }, kPastAHeldRenderer));
    std::cout << "Formulieren from a page in for(;;){}: at the server after " << clock.elapsed() << " ms\n";
}

// Thirty windows asked for without a click: three come.
TEST(ProgramE2E, aPageOpensAtMostThreeWindowsByItself)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    AttackedProgram program(QStringLiteral("/hostile/popups?n=30"));
    ASSERT_NE(program.window, 0u);
    ASSERT_TRUE(program.standIn.pageReached(QStringLiteral("opened"))) << "the page asked for every window";
    program.requestsBeforeF11(program.standIn, 0); // the program has handled every one of them
    EXPECT_EQ(program.windows(), 4) << "the main window and three";
}

// A line break in a download's name reaches no file name; closing the window while a download
// comes in asks first.
TEST(ProgramE2E, aDownloadsNameIsMadeSafeAndClosingDuringOneAsksFirst)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    {
        AttackedProgram program(
            QStringLiteral("/hostile/frames?src=/files/named%3Fname%3Dline1%250Aline2.txt"));
        ASSERT_NE(program.window, 0u);
        EXPECT_TRUE(
            waitFor([&] { return program.saved() == QStringList{QStringLiteral("line1_line2.txt")}; }, 10s))
            << program.saved().join(u" | ").toStdString();
    }
    AttackedProgram program(QStringLiteral("/hostile/frames?src=/files/slow.bin%3Fms%3D30000"));
    ASSERT_NE(program.window, 0u);
    ASSERT_TRUE(waitFor([&] { return !program.saved().isEmpty(); }, 10s));
    askToClose(program.display.get(), program.window);
    EXPECT_NE(program.find("Ostrel Web"), 0u) << "the question";
    EXPECT_FALSE(program.process.waitForFinished(1000)) << "still running, and still downloading";
}

// A session bus of its own with the accessibility bus on it, and a screen reader's ears listening
// to every key (atspi_listener.py): what a blind user's desktop runs.
struct ScreenReaderListening {
    QTemporaryDir dir;
    const QString heard = dir.filePath(QStringLiteral("heard.log"));
    const QString told = dir.filePath(QStringLiteral("told.log")); // focus and caret events
    QProcess bus, launcher, listener;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    bool start()
    {
        bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                  QStringLiteral("--print-address=1")});
        if (!bus.waitForStarted(5000) || !waitFor([&] { return bus.canReadLine(); }, 5s))
            return false;
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(bus.readLine().trimmed()));
        launcher.setProcessEnvironment(env);
        launcher.start(QStringLiteral("/usr/libexec/at-spi-bus-launcher"),
                       {QStringLiteral("--launch-immediately")});
        listener.setProcessEnvironment(env);
        listener.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        waitFor([&] { // the accessibility bus is up
            QProcess ask;
            ask.setProcessEnvironment(env);
            ask.start(QStringLiteral("dbus-send"),
                      {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--dest=org.a11y.Bus"),
                       QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus.GetAddress")});
            return ask.waitForFinished(5000) && ask.exitStatus() == QProcess::NormalExit && ask.exitCode() == 0;
        }, 10s);
        listener.start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral(OSTREL_ATSPI_LISTENER), heard, told});
        return listener.waitForStarted(5000) &&
               waitFor([&] { return listener.canReadLine() && listener.readLine().startsWith("listening"); },
                       10s);
    }
    // What the program needs to be read: this bus, and Qt's bridge on.
    QProcessEnvironment programEnv() const
    {
        QProcessEnvironment program;
        program.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       env.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")));
        program.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        return program;
    }
    // The focus and caret events so far, oldest first.
    QList<QJsonObject> eventsTold() const
    {
        QFile log(told);
        QList<QJsonObject> events;
        if (log.open(QIODevice::ReadOnly))
            for (const QByteArray& line : log.readAll().split('\n'))
                if (!line.isEmpty())
                    events.append(QJsonDocument::fromJson(line).object());
        return events;
    }
    int keysHeard() const
    {
        QFile log(heard);
        return log.open(QIODevice::ReadOnly) ? static_cast<int>(log.readAll().count('\n')) : 0;
    }
    ~ScreenReaderListening()
    {
        for (QProcess* process : {&listener, &launcher, &bus}) {
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
            process->waitForFinished(2000);
        }
    }
};

// While a screen reader listens to the keys, Qt's accessibility bridge holds each one back until the
// reader has heard it, then sends it on as a copy: the function keys still act, once each, and Enter
// still answers the program's message.
TEST(ProgramE2E, theFunctionKeysAndTheMessagesEnterWorkWhileAScreenReaderListens)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() ||
        !QFile::exists(QStringLiteral("/usr/libexec/at-spi-bus-launcher")))
        GTEST_SKIP() << "needs dbus-daemon and at-spi2-core";
    ScreenReaderListening reader;
    ASSERT_TRUE(reader.start());
    const QProcessEnvironment accessible = reader.programEnv();
    ProgramAtHome program({QStringLiteral("--status"), QStringLiteral("gateway1=500"),
                           QStringLiteral("--status"), QStringLiteral("gateway2=500")},
                          accessible);
    ASSERT_NE(program.window, 0u);
    ASSERT_TRUE(waitFor([&] { return versionStamped(program.standIn.requests()) == 1; }, 10s)) << "the start-up's page";
    const auto press = [&](const char* key) {
        return keysTo(program.window, {QStringLiteral("key"), QLatin1String(key)});
    };
    const auto requestsTo = [&](const char* path) {
        return program.standIn.requestsTo(QLatin1String(path)).size();
    };

    ASSERT_TRUE(press("F5"));
    EXPECT_TRUE(waitFor([&] { return versionStamped(program.standIn.requests()) == 3; }, 10s))
        << "F5: the page and its reload";
    EXPECT_GT(reader.keysHeard(), 0) << "the reader heard the keys";
    ASSERT_TRUE(press("F4"));
    EXPECT_TRUE(waitFor([&] { return requestsTo("/index.php") == 1; }, 10s)) << "F4";
    ASSERT_TRUE(press("F11"));
    EXPECT_TRUE(waitFor([&] { return requestsTo("/ostrelsupport") == 1; }, 10s)) << "F11";
    ASSERT_TRUE(press("F12"));
    EXPECT_TRUE(
        waitFor([&] { return program.handedToTheDesktop().join(u' ').contains(u"gnome-calculator"); }, 10s))
        << "F12";
    ASSERT_TRUE(press("F2"));
    const Window message = program.find("Ostrel Web");
    ASSERT_NE(message, 0u) << "F2: both gateways fail, the connection message";
    ASSERT_TRUE(keysTo(message, {QStringLiteral("key"), QStringLiteral("Return")}));
    EXPECT_TRUE(waitFor(
        [&] {
            XWindowAttributes attributes{};
            return !XGetWindowAttributes(program.display.get(), message, &attributes) ||
                   attributes.map_state != IsViewable;
        },
        5s))
        << "Enter answers the message";
    program.requestsBeforeF11(program.standIn, 0); // what the keys before it set off is in
    EXPECT_EQ(versionStamped(program.standIn.requests()), 3) << "each key once";
    EXPECT_EQ(requestsTo("/index.php"), 1);
}

// What a screen reader reads of the program, and presses through the interface.
struct ReadAloud {
    QProcessEnvironment env;
    QJsonArray tree() const
    {
        QProcess reader;
        reader.setProcessEnvironment(env);
        reader.start(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(OSTREL_ATSPI_TREE), QStringLiteral("tree"), QStringLiteral("ostrel-web")});
        QJsonArray objects;
        if (reader.waitForFinished(20000))
            for (const QByteArray& line : reader.readAllStandardOutput().split('\n'))
                if (!line.isEmpty())
                    objects.append(QJsonDocument::fromJson(line).object());
        return objects;
    }
    bool press(const QString& name) const
    {
        return QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                 {QStringLiteral(OSTREL_ATSPI_TREE), QStringLiteral("press"),
                                  QStringLiteral("ostrel-web"), name}) == 0;
    }
    static QRect extents(const QJsonObject& object)
    {
        const QJsonArray e = object[u"extents"].toArray();
        return e.size() == 4 ? QRect(e[0].toInt(), e[1].toInt(), e[2].toInt(), e[3].toInt()) : QRect();
    }
};

// The header's controls as a screen reader finds them: role, name, hint, the press action, and the
// place the window draws them at, in screen pixels at 100, 150 and 200 % (the header's own numbers, the
// right-hand group kept at its distance from the right edge). Three of them pressed through the
// interface take the page there; the page's own heading and button are in the tree too. The table
// stands in the order a screen reader meets the controls: as they stand, from the left.
TEST(ProgramE2E, aScreenReaderFindsEveryHeaderControlAndThePageAndPressesThroughTheInterface)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    if (!QFile::exists(QStringLiteral("/usr/libexec/at-spi-bus-launcher")))
        GTEST_SKIP() << "needs at-spi2-core";
    struct Row {
        const char* role;
        const char* name; // null: the organisation's text
        const char* description;
        int left, top, width, height; // width 0: sized by its text
        bool right;                   // kept at its distance from the right edge
    };
    const Row rows[] = {
        {"push button", "Home", "", 13, 5, 68, 85, false},
        {"push button", "OWS", "F2", 80, 5, 64, 85, false},
        {"push button", "Formulieren", "", 143, 5, 80, 85, false},
        {"push button", "Bestanden", "F4", 222, 5, 82, 85, false},
        {"push button", "Ostrel Web", "F5", 303, 5, 81, 85, false},
        {"push button", "Downloads", "", 456, 5, 80, 85, false},
        {"separator", "", "", 552, 4, 11, 81, false},
        {"push button", "PIM / MKB", "Premie Indicatie Module MKB", 565, 5, 97, 27, false},
        {"push button", "Support", "", 566, 32, 79, 29, false},
        {"push button", "Teamviewer", "F11", 566, 61, 107, 29, false},
        {"separator", "", "", 681, 4, 9, 81, false},
        {"push button", "Polisvoorwaarden", "", 693, 5, 138, 27, false},
        {"push button", "Ostrel Portaal", "Ostrel Portaal voor Tussenpersonen", 693, 35, 103, 27, false},
        {"link", "Contact", "", 842, -11, 197, 93, true},
        {"push button", "Calculator F12", "", 942, 65, 27, 29, true},
        {"push button", "Refresh", "Tijdelijke internetbestanden verwijderen en vernieuwen", 976, 65, 59, 29,
         true},
        {"label", nullptr, "", 1038, 16, 0, 0, true},
        {"link", nullptr, "", 1040, 65, 0, 0, true},
        {"link", "e-mail", "", 1213, 65, 0, 0, true},
    };
    for (const double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        ScreenReaderListening reader;
        ASSERT_TRUE(reader.start());
        QProcessEnvironment accessible = reader.programEnv();
        accessible.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(scale));
        ProgramAtHome program({QStringLiteral("--start-page"), QStringLiteral("/keys")}, accessible);
        ASSERT_NE(program.window, 0u);
        const ReadAloud screenReader{reader.env};
        QJsonArray tree;
        const auto find = [&](const char* role, const QString& name) {
            for (const QJsonValue& object : tree)
                if (object[u"role"].toString() == QLatin1String(role) && object[u"name"].toString() == name)
                    return object.toObject();
            return QJsonObject();
        };
        // The page's heading and button come once the engine has built its tree for the reader.
        ASSERT_TRUE(waitFor(
            [&] {
                tree = screenReader.tree();
                return !find("heading", QStringLiteral("Stand-in keys: portal, contact")).isEmpty() &&
                       !find("push button", QStringLiteral("Verstuur")).isEmpty();
            },
            20s));
        const QJsonObject frame = find("frame", QStringLiteral("Ostrel Web 6.9"));
        const QRect panel = ReadAloud::extents(find("tool bar", QStringLiteral("Bestemmingen")));
        ASSERT_FALSE(frame.isEmpty());
        ASSERT_TRUE(panel.isValid());
        const int panelWidth = qRound(panel.width() / scale);
        // On a screen too narrow for the header's one row, the logo and contact block take a second.
        const bool twoRows = panelWidth < 1259;
        EXPECT_EQ(panel.height(), qRound(97 * scale * (twoRows ? 2 : 1)));
        const QRect screen(0, 0, 1920, 1080);
        EXPECT_TRUE(screen.contains(ReadAloud::extents(frame))) << "the window is on the screen";
        qsizetype previous = -1;
        for (const Row& row : rows) {
            const QString role = QLatin1String(row.role);
            const int left = row.right ? panelWidth - (1259 - row.left) : row.left;
            const auto matches = [&](const QJsonValue& c) {
                if (c[u"role"].toString() != role)
                    return false;
                if (row.name && *row.name)
                    return c[u"name"].toString() == QString::fromUtf8(row.name);
                // The separators and the organisation's texts, by where they stand.
                return (row.name != nullptr) == c[u"name"].toString().isEmpty() &&
                       std::abs(ReadAloud::extents(c.toObject()).x() - panel.x() - left * scale) <= 1;
            };
            const auto found = std::find_if(tree.begin(), tree.end(), matches);
            const QJsonObject object = found == tree.end() ? QJsonObject() : found->toObject();
            EXPECT_GT(found - tree.begin(), previous) << "a screen reader meets them in the order they stand";
            previous = found - tree.begin();
            const std::string what = std::string(row.role) + " " + (row.name ? row.name : "(text)");
            ASSERT_FALSE(object.isEmpty()) << what;
            EXPECT_EQ(object[u"description"].toString(), QString::fromUtf8(row.description)) << what;
            EXPECT_EQ(object[u"actions"].toArray().contains(QStringLiteral("Press")),
                      role == u"push button" || role == u"link")
                << what;
            const QRect at = ReadAloud::extents(object);
            EXPECT_NEAR(at.x() - panel.x(), left * scale, 1) << what;
            EXPECT_NEAR(at.y() - panel.y(), (row.top + (twoRows && row.right ? 97 : 0)) * scale, 1) << what;
            EXPECT_TRUE(screen.contains(at.intersected(panel)))
                << what << " is on the screen"; // the logo's top is cut
            if (row.width) { // the texts size themselves
                EXPECT_NEAR(at.width(), row.width * scale, 1) << what;
                EXPECT_NEAR(at.height(), row.height * scale, 1) << what;
            }
        }
        EXPECT_TRUE(find("push button", QStringLiteral("Ostrel Intranet"))[u"showing"] == false);
        EXPECT_TRUE(find("frame", QStringLiteral("Offscreen")).isEmpty()) << "the engine's hidden window";

        if (scale != 1.0)
            continue;
        for (const auto& [name, path] :
             {std::pair{"Formulieren", "/download/download.asp"}, std::pair{"Support", "/tas/public"},
              std::pair{"Contact", "/index.php"}}) {
            ASSERT_TRUE(screenReader.press(QString::fromUtf8(name))) << name;
            EXPECT_TRUE(
                waitFor([&] { return !program.standIn.requestsTo(QLatin1String(path)).isEmpty(); }, 10s))
                << name;
        }
    }
}

// A screen-reader user's morning on a page: its headings, field and table are read; what they type
// raises the page's alert, read with its message and answered with Return, and the focus is back
// on the field it left; the download that follows says when it is in and its buttons name its
// file; Return on one opens it.
TEST(ProgramE2E, aScreenReaderUserReadsThePageItsAlertAndItsDownloadAndAnswersWithReturn)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    ScreenReaderListening reader;
    ASSERT_TRUE(reader.start());
    const QProcessEnvironment accessible = reader.programEnv();
    ProgramAtHome program({QStringLiteral("--start-page"), QStringLiteral("/reader")}, accessible);
    ASSERT_NE(program.window, 0u);
    const ReadAloud screenReader{reader.env};
    QJsonArray tree;
    const auto has = [&](const char* role, const QString& name, const char* key = "name") {
        return std::any_of(tree.begin(), tree.end(), [&](const QJsonValue& o) {
            return o[u"role"].toString() == QLatin1String(role) && o[QLatin1String(key)].toString() == name;
        });
    };
    const auto focused = [&](const QString& name, std::initializer_list<const char*> roles) {
        return std::any_of(tree.begin(), tree.end(), [&](const QJsonValue& o) {
            return o[u"focused"].toBool() && o[u"name"].toString() == name &&
                   std::any_of(roles.begin(), roles.end(), [&](const char* role) {
                       return o[u"role"].toString() == QLatin1String(role);
                   });
        });
    };
    const auto until = [&](const std::function<bool()>& holds) {
        return waitFor([&] { return (tree = screenReader.tree(), holds()); }, 20s);
    };
    const auto loadedSaid = [&] {
        return std::any_of(tree.begin(), tree.end(), [&](const QJsonValue& o) {
            const QString name = o[u"name"].toString();
            return o[u"role"].toString() == u"notification" && name.startsWith(u"Stand-in reader") &&
                   name.endsWith(u" geladen");
        });
    };
    ASSERT_TRUE(until([&] { return has("heading", QStringLiteral("Polis")) && has("table", QString()); }));
    EXPECT_TRUE(until(loadedSaid)) << "the page says it has loaded";
    // The find bar's field, made at the first Ctrl+F, is heard taking the focus: a caret event
    // before that makes a reader leave the focus unsaid.
    qsizetype since = reader.eventsTold().size();
    QList<QJsonObject> heard; // what a reader was told since
    const auto hears = [&](const std::function<bool(const QJsonObject&)>& event) {
        return waitFor(
            [&] {
                heard = reader.eventsTold().mid(since);
                return std::any_of(heard.begin(), heard.end(), event);
            },
            20s);
    };
    ASSERT_TRUE(keysTo(program.window, {QStringLiteral("key"), QStringLiteral("ctrl+f")}));
    const auto findField = [](const QJsonObject& e) { return e[u"name"].toString() == u"Zoeken:"; };
    EXPECT_TRUE(hears(findField));
    const auto first = std::find_if(heard.begin(), heard.end(), findField);
    EXPECT_TRUE(first != heard.end() && (*first)[u"event"].toString().startsWith(u"focus"))
        << "heard first: "
        << (first == heard.end() ? "nothing" : first->value(u"event").toString().toStdString());
    ASSERT_TRUE(keysTo(program.window, {QStringLiteral("key"), QStringLiteral("Escape")}));
    ASSERT_TRUE(keysTo(program.window, {QStringLiteral("type"), QStringLiteral("x")})); // into the field
    EXPECT_TRUE(until([&] {
        return has("alert", QStringLiteral("stand-in alert"), "description") &&
               focused(QStringLiteral("OK"), {"push button"});
    }));
    const auto focusOn = [](const char16_t* name) {
        return [name](const QJsonObject& e) {
            return e[u"event"].toString().startsWith(u"focus") && e[u"name"].toString() == name;
        };
    };
    EXPECT_TRUE(hears(focusOn(u"OK")));
    since = reader.eventsTold().size(); // from the answer on
    ASSERT_TRUE(keysTo(program.window, {QStringLiteral("key"), QStringLiteral("Return")}));
    EXPECT_TRUE(hears(focusOn(u"Naam"))) << "a reader hears the field the focus is back on";
    EXPECT_TRUE(until([&] {
        return !has("alert", QStringLiteral("stand-in alert"), "description") &&
               focused(QStringLiteral("Naam"), {"text", "entry"}) &&
               !focused(QStringLiteral("OK"), {"push button"});
    })) << "the focus is back on the field";
    EXPECT_TRUE(until([&] {
        return has("push button", QStringLiteral("Openen: big.bin")) &&
               has("notification", QStringLiteral("big.bin klaar"));
    }));
    ASSERT_TRUE(keysTo(program.window, {QStringLiteral("key"), QStringLiteral("F6"), QStringLiteral("F6"),
                                        QStringLiteral("Return")}));
    EXPECT_TRUE(waitFor([&] { return program.handedToTheDesktop().join(u' ').contains(u"big.bin"); }, 10s));
}

// The keys as the window system delivers them to the running program, with and without a screen
// reader listening: the editing keys and the keypad typed into a page's field are the field's, Tab and
// Shift+Tab the page's own; a function key acts on its release, once, with Shift or Ctrl too but not
// with Alt; F2 pressed again behind its own message asks again.
TEST(ProgramE2E, theKeysDoTheSameWithAndWithoutAScreenReader)
{
    if (!haveX())
        GTEST_SKIP() << "needs an X server";
    if (!QFile::exists(QStringLiteral("/usr/libexec/at-spi-bus-launcher")))
        GTEST_SKIP() << "needs at-spi2-core";
    for (const bool listening : {false, true}) {
        SCOPED_TRACE(listening ? "a screen reader listens" : "no screen reader");
        std::optional<ScreenReaderListening> reader;
        QProcessEnvironment env;
        if (listening) {
            ASSERT_TRUE(reader.emplace().start());
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       reader->env.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")));
            env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        }
        ProgramAtHome program({QStringLiteral("--start-page"), QStringLiteral("/keys"),
                               QStringLiteral("--status"), QStringLiteral("gateway1=500"),
                               QStringLiteral("--status"), QStringLiteral("gateway2=500")},
                              env);
        ASSERT_NE(program.window, 0u);
        ASSERT_TRUE(program.standIn.pageReached(QStringLiteral("shown"))) << "the page is laid out";
        const auto focusWindow = [&] {
            return xdotool(
                {QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(program.window)});
        };
        const auto keys = [&](const QString& name) { return keysTo(program.window, {QStringLiteral("key"), name}); };
        // What the page heard: each keydown as "id:key", and the fields' last values.
        const auto heard = [&](QStringList* downs, QMap<QString, QString>* values) {
            for (const QJsonObject& request : program.standIn.requestsTo(QStringLiteral("/keylog"))) {
                const QUrlQuery q(QUrl(request[u"target"].toString()).query());
                if (q.queryItemValue(QStringLiteral("type")) == u"keydown")
                    *downs << q.queryItemValue(QStringLiteral("id")) + u':' +
                                  q.queryItemValue(QStringLiteral("key"));
                else
                    (*values)[q.queryItemValue(QStringLiteral("id"))] =
                        q.queryItemValue(QStringLiteral("value"), QUrl::FullyDecoded);
            }
        };
        QStringList downs;
        QMap<QString, QString> values;
        const auto pageHeard = [&](qsizetype count) {
            return waitFor(
                [&] {
                    downs.clear();
                    heard(&downs, &values);
                    return downs.size() >= count;
                },
                10s);
        };
        ASSERT_TRUE(focusWindow() && program.click(120, 97 + 35)); // into field a
        // One key at a time, each once the page has heard the one before (a modifier is a key of its
        // own): while a screen reader answers late, the bridge may hand keys on in another order.
        qsizetype typed = 0;
        for (const QString& name : QStringLiteral("a b c Left Left Delete Home x End BackSpace KP_Add KP_Subtract "
                                                  "Tab y shift+Tab Return Right")
                                       .split(u' ')) {
            typed += name.count(u'+') + 1;
            ASSERT_TRUE(keys(name) && pageHeard(typed)) << name.toStdString() << ": " << downs.join(u' ').toStdString();
        }
        EXPECT_EQ(values[QStringLiteral("a")], u"xa+-") << downs.join(u' ').toStdString();
        EXPECT_EQ(values[QStringLiteral("b")], u"y");
        for (const char* down : {"a:Tab", "b:Tab", "a:Enter", "a:ArrowRight", "a:Home", "a:End", "a:Delete"})
            EXPECT_TRUE(downs.contains(QLatin1String(down)))
                << down << ": " << downs.join(u' ').toStdString();

        if (listening) { // Ctrl+F opens the find bar; a screen reader finds its field by its label
            ASSERT_TRUE(keys(QStringLiteral("ctrl+f")));
            EXPECT_TRUE(waitFor(
                [&] {
                    for (const QJsonValue& object : ReadAloud{reader->env}.tree())
                        if (object[u"name"].toString() == u"Zoeken:" && object[u"showing"].toBool())
                            return true;
                    return false;
                },
                10s));
            ASSERT_TRUE(keys(QStringLiteral("Escape")));
        }

        // F5 acts on its release, once (the start page comes back from the version-stamped
        // address, which the reload does not ask again); with Shift or Ctrl held it still does, with
        // Alt held it does not. (xdotool's "alt+F5" lets Alt go first: that is a plain F5.)
        qsizetype since = program.standIn.requests().size();
        ASSERT_TRUE(keysTo(program.window, {QStringLiteral("keydown"), QStringLiteral("F5"), QStringLiteral("keydown"),
                                            QStringLiteral("F5")})); // held: pressed again while down
        EXPECT_EQ(versionStamped(program.requestsBeforeF11(program.standIn, since)), 0) << "nothing on the press";
        // While a screen reader listens, a key's release may be handed on after the next key's: where
        // a key acts, its request is waited for before F11 marks that no second one came.
        const auto stampedSince = [&](qsizetype since) {
            return waitFor([&] { return versionStamped(program.standIn.requests().mid(since)) > 0; }, 10s);
        };
        since = program.standIn.requests().size();
        ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("F5")}));
        EXPECT_TRUE(stampedSince(since));
        EXPECT_EQ(versionStamped(program.requestsBeforeF11(program.standIn, since)), 1);
        for (const auto& [modifier, acts] :
             {std::pair{"shift", true}, std::pair{"ctrl", true}, std::pair{"alt", false}}) {
            since = program.standIn.requests().size();
            ASSERT_TRUE(keysTo(program.window, {QStringLiteral("keydown"), QLatin1String(modifier), QStringLiteral("key"),
                                                QStringLiteral("F5"), QStringLiteral("keyup"), QLatin1String(modifier)}));
            if (acts) {
                EXPECT_TRUE(stampedSince(since)) << modifier << "+F5";
            }
            EXPECT_EQ(versionStamped(program.requestsBeforeF11(program.standIn, since)), acts ? 1 : 0)
                << modifier << "+F5";
        }

        // F2 behind the connection message it showed: the gateways are asked again.
        const auto probes = [&] {
            return program.standIn.requestsTo(QStringLiteral("/vpn/index.html")).size();
        };
        ASSERT_TRUE(keys(QStringLiteral("F2")));
        const Window message = program.find("Ostrel Web");
        ASSERT_NE(message, 0u);
        const qsizetype asked = probes();
        ASSERT_TRUE(keysTo(message, {QStringLiteral("key"), QStringLiteral("F2")}));
        EXPECT_TRUE(waitFor([&] { return probes() == asked + 2; }, 10s)) << probes() - asked;
    }
}

} // namespace
} // namespace ostrel
