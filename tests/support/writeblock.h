// Stops the process writing into a folder, for the tests of a store that cannot be written.
#pragma once

#include <QFile>
#include <QString>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace ostrel::testing {

// Stops the process writing into a folder. Permission bits do that for an ordinary user; root
// ignores them, so when a probe file can still be made a file-size limit of zero takes over,
// which binds root as well. Nothing may be printed to a file while it is in force.
class WriteBlock {
public:
    explicit WriteBlock(const QString& folder) : folder_(folder)
    {
        ::chmod(folder_.toLocal8Bit().constData(), 0555);
        QFile probe(folder_ + "/probe");
        if (!probe.open(QIODevice::WriteOnly)) {
            active_ = true;
            return;
        }
        probe.close();
        probe.remove();
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit none = saved_;
        none.rlim_cur = 0;
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        limited_ = active_ = ::setrlimit(RLIMIT_FSIZE, &none) == 0;
    }
    ~WriteBlock()
    {
        if (limited_)
            ::setrlimit(RLIMIT_FSIZE, &saved_);
        if (oldHandler_ != SIG_ERR)
            std::signal(SIGXFSZ, oldHandler_);
        ::chmod(folder_.toLocal8Bit().constData(), 0755);
    }
    bool active() const { return active_; }

private:
    QString folder_;
    bool active_ = false;
    bool limited_ = false;
    rlimit saved_{};
    void (*oldHandler_)(int) = SIG_ERR;
};

} // namespace ostrel::testing
