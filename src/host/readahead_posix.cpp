#include "host/readahead.h"

#include <QThreadPool>

#include <fcntl.h>
#include <unistd.h>

namespace ostrel::host {

// At the first start after the machine booted, the engine's library came from the disk in the small
// pieces its page faults asked for, one after another; asked for whole, on a thread of the pool, it
// comes in large reads while the start goes on.
void ReadAhead(std::vector<std::string> files)
{
    QThreadPool::globalInstance()->start([files = std::move(files)] {
        for (const std::string& file : files) {
            const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
            ::close(fd);
        }
    });
}

} // namespace ostrel::host
