#include "host/endprocess.h"

#include <csignal>
#include <sys/types.h>

namespace ostrel::host {

bool EndProcess(long long pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

} // namespace ostrel::host
