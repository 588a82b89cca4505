#include "isolation.h"

#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace ostrel::testing {

namespace {

bool WriteFile(const char* path, const std::string& text)
{
    FILE* file = std::fopen(path, "w");
    if (!file)
        return false;
    const bool written = std::fputs(text.c_str(), file) >= 0;
    return std::fclose(file) == 0 && written;
}

// A network namespace of our own; without root, inside a user namespace that maps us to ourselves.
bool OwnNetwork()
{
    if (unshare(CLONE_NEWNET) == 0)
        return true;
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return false;
    return WriteFile("/proc/self/setgroups", "deny") &&
           WriteFile("/proc/self/uid_map", std::to_string(uid) + ' ' + std::to_string(uid) + " 1") &&
           WriteFile("/proc/self/gid_map", std::to_string(gid) + ' ' + std::to_string(gid) + " 1");
}

bool LoopbackUp()
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    return up;
}

// Xvfb picks a free display itself (-displayfd) and writes its number when it is ready; it gets
// SIGTERM when this process ends, however it ends.
bool StartXvfb()
{
    int ready[2];
    if (pipe(ready) != 0)
        return false;
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        close(ready[0]);
        const std::string fd = std::to_string(ready[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    char c = 0;
    while (poll(&wait, 1, 30000) == 1 && read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (number.empty() || c != '\n')
        return false;
    setenv("DISPLAY", (':' + number).c_str(), 1);
    unsetenv("XAUTHORITY");
    return true;
}

// Xvfb servers started at the same moment fail now and then to set up their keyboard ("Failed to
// activate virtual core keyboard"), so the test processes of a machine start theirs one at a time.
bool OwnDisplay()
{
    const int lock = open("/tmp/ostrel-test-xvfb.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0666);
    if (lock >= 0)
        flock(lock, LOCK_EX);
    const bool started = StartXvfb();
    if (lock >= 0)
        close(lock); // and with it the lock
    return started;
}

} // namespace

bool IsolateProcess()
{
    if (!OwnNetwork() || !LoopbackUp()) {
        std::fprintf(stderr, "isolation: no network of our own (%s); run these tests one at a time\n",
                     std::strerror(errno));
        return false;
    }
    if (!OwnDisplay()) {
        std::fprintf(stderr, "isolation: no X display of our own (is Xvfb installed?)\n");
        return false;
    }
    return true;
}

} // namespace ostrel::testing
