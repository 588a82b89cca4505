// The stand-in's server: one listener per port for the roles served there, the request log, the
// counts the pages show, and the shutdown that handlers which wait give way to.
#pragma once

#include "options.h"
#include "pages.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace standin {

// Lets handlers that deliberately wait (/slow, hung gateways) give up their
// worker as soon as shutdown starts; the library joins its workers before
// listen returns, so a sleeping handler would otherwise delay exit.
class Shutdown {
public:
    // True when shutdown began before `d` elapsed.
    bool wait_for(std::chrono::milliseconds d)
    {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, d, [this] { return stopping_; });
    }
    // True when shutdown began before `t`.
    bool wait_until(std::chrono::steady_clock::time_point t)
    {
        std::unique_lock lock(m_);
        return cv_.wait_until(lock, t, [this] { return stopping_; });
    }
    void wait()
    {
        std::unique_lock lock(m_);
        cv_.wait(lock, [this] { return stopping_; });
    }
    void begin()
    {
        {
            std::lock_guard lock(m_);
            stopping_ = true;
        }
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool stopping_ = false;
};

// One JSON line per request, to a file or to stderr.
class RequestLog {
public:
    ~RequestLog()
    {
        if (file_)
            std::fclose(file_);
    }
    bool open(const std::string& path)
    {
        file_ = std::fopen(path.c_str(), "a");
        return file_ != nullptr;
    }
    // Flushed per line: tests tail the file while requests are still coming.
    void write(const std::string& line)
    {
        std::lock_guard lock(m_);
        std::fwrite(line.data(), 1, line.size(), out());
        std::fputc('\n', out());
        std::fflush(out());
    }
    void flush()
    {
        std::lock_guard lock(m_);
        std::fflush(out());
    }

private:
    FILE* out() { return file_ ? file_ : stderr; }
    std::mutex m_;
    FILE* file_ = nullptr;
};

// What some pages count since the start, over every port; their answers show the count to the tests.
struct Counters {
    std::atomic<unsigned long long> cached_served{0}; // /cached
    std::atomic<unsigned long long> sessions{0};      // /login
    std::atomic<unsigned long long> broken_served{0}; // /files/broken.bin, but HEAD
};

// Answers a request that got past the library: the roles served on its port, the request, what
// arrived (already in the log) and the response to fill in.
using Answer = std::function<void(const std::vector<const Role*>& roles, const httplib::Request& req,
                                  const Arrival& a, httplib::Response& res)>;

// Calls `fn` with every socket this process has open, until it returns false.
void ForEachSocket(const std::function<bool(int)>& fn);

class Server {
public:
    // Roles sharing a port share one listener whose pages name all of them. `options` outlives the
    // server.
    explicit Server(const Options& options);
    ~Server();

    Shutdown& shutdown() { return shutdown_; }
    Counters& counters() { return counters_; }

    // Opens the log, binds every port, prints "ostrel-standin ready" and serves with `answer` until
    // SIGINT or SIGTERM. The exit status: 0; 1 when a port cannot be bound; 2 when the log, the
    // certificate or its key cannot be used (each said on stderr).
    int Run(const Answer& answer);

private:
    struct Listener;
    // Makes and binds the listener's server; an exit status when it cannot.
    int prepare(Listener& l, const Answer& answer);

    const Options& options_;
    Shutdown shutdown_;
    RequestLog log_;
    Counters counters_;
    std::vector<std::unique_ptr<Listener>> listeners_; // first-mention order, plain HTTP first
};

} // namespace standin
