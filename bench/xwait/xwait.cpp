// bench-xwait: notices windows coming and going through the window manager's list of the windows it
// manages (_NET_CLIENT_LIST on the root window), which changes as it takes a window on and lets it
// go. It waits for that change instead of polling, so it takes no time from the programs measured.
//
//   bench-xwait new TITLE [TIMEOUT_MS]   a window titled TITLE that was not in the list at the start
//   bench-xwait count N [TIMEOUT_MS]     the list holds exactly N windows
//
// Prints "ready" once it listens (start the action after that), then the Unix time in ms at which
// the change arrived, and exits 0; exits 1 after TIMEOUT_MS (default 30000) without it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

Display* display;
Window root;
Atom clientList, netWmName, utf8String;

long long NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// The bytes of a property, empty when it is missing or of another type.
std::string Property(Window w, Atom name, Atom type)
{
    Atom actualType;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    std::string out;
    if (XGetWindowProperty(display, w, name, 0, 1 << 16, False, type, &actualType, &format, &items, &after,
                           &data) == Success &&
        data) {
        if (actualType == type)
            out.assign(reinterpret_cast<const char*>(data),
                       items * (format == 32 ? sizeof(long) : format / 8));
        XFree(data);
    }
    return out;
}

std::vector<Window> Clients()
{
    const std::string bytes = Property(root, clientList, XA_WINDOW);
    const auto* first = reinterpret_cast<const Window*>(bytes.data());
    return {first, first + bytes.size() / sizeof(Window)};
}

std::string Title(Window w)
{
    std::string title = Property(w, netWmName, utf8String);
    return title.empty() ? Property(w, XA_WM_NAME, XA_STRING) : title;
}

// A window may go between reading the list and reading its title; that is no error here.
int IgnoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (argc < 3 || argc > 4 || (mode != "new" && mode != "count")) {
        std::fputs("usage: bench-xwait new TITLE [TIMEOUT_MS] | count N [TIMEOUT_MS]\n", stderr);
        return 2;
    }
    const std::string wanted = argv[2];
    const long long deadline = NowMs() + (argc == 4 ? std::atol(argv[3]) : 30000);
    display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("bench-xwait: cannot open the display\n", stderr);
        return 2;
    }
    XSetErrorHandler(IgnoreErrors);
    root = DefaultRootWindow(display);
    clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
    netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    utf8String = XInternAtom(display, "UTF8_STRING", False);
    XSelectInput(display, root, PropertyChangeMask);

    std::set<Window> before, watched; // in "new" mode: there at the start; new, title not yet seen
    if (mode == "new")
        for (Window w : Clients())
            before.insert(w);
    const auto found = [&] {
        const std::vector<Window> clients = Clients();
        if (mode == "count")
            return clients.size() == std::strtoul(wanted.c_str(), nullptr, 10);
        for (Window w : clients) {
            if (before.contains(w))
                continue;
            if (Title(w) == wanted)
                return true;
            // Taken on before it has its title: the title's change is an event too.
            if (watched.insert(w).second)
                XSelectInput(display, w, PropertyChangeMask);
        }
        return false;
    };
    std::puts("ready");
    std::fflush(stdout);

    long long seen = NowMs();
    while (!found()) {
        while (!XPending(display)) {
            const long long left = deadline - NowMs();
            if (left <= 0)
                return 1;
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(left));
        }
        seen = NowMs();
        XEvent event;
        while (XPending(display))
            XNextEvent(display, &event);
    }
    std::printf("%lld\n", seen);
    return 0;
}
