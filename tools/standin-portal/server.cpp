#include "server.h"

#include <dirent.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <utility>

namespace standin {

namespace {

constexpr int kExitBind = 1;
// Bodies are kept in memory to be logged; bound them so a runaway client
// gets a 413 instead of exhausting memory.
constexpr std::size_t kMaxBody = 64u << 20;
// Resumed TLS sessions belong to this context (see prepare).
constexpr unsigned char kSessionContext[] = "ostrel-standin";

// One thread per connection instead of the library's fixed pool: a hung
// gateway probe keeps its worker until shutdown (the handler cannot see the
// client give up), and a browser parks up to six idle keep-alive connections
// per origin. With a pool, enough of either would starve every other request.
class ThreadPerConnection : public httplib::TaskQueue {
    // void up to cpp-httplib 0.14 (Debian 12), bool ("queued") from 0.15 (Debian 13).
    using Queued = decltype(std::declval<httplib::TaskQueue&>().enqueue(std::function<void()>()));

public:
    Queued enqueue(std::function<void()> fn) override
    {
        {
            std::lock_guard lock(state_->m);
            ++state_->active;
        }
        // The thread holds its own reference to the counter: the library deletes
        // the queue right after shutdown() returns, possibly before the last
        // thread has left the mutex.
        std::thread([state = state_, fn = std::move(fn)]() mutable {
            fn();
            fn = nullptr; // nothing of the connection outlives the count
            std::lock_guard lock(state->m);
            if (--state->active == 0)
                state->idle.notify_all();
        }).detach();
        return static_cast<Queued>(true); // queued (before 0.15 nothing goes back: a cast to void)
    }
    void shutdown() override
    {
        std::unique_lock lock(state_->m);
        state_->idle.wait(lock, [this] { return state_->active == 0; });
    }

private:
    struct State {
        std::mutex m;
        std::condition_variable idle;
        std::size_t active = 0;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// cpp-httplib adds the peer and local addresses to the request headers
// itself; they were not sent by the client.
bool added_by_library(const std::string& name)
{
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT";
}

Pairs received_headers(const httplib::Headers& headers)
{
    Pairs out;
    // Headers is a case-insensitive multimap, so repeats sit next to each other
    // in arrival order.
    for (const auto& [name, value] : headers) {
        if (added_by_library(name))
            continue;
        if (!out.empty() && equal_ci(out.back().first, name))
            out.back().second += ", " + value;
        else
            out.emplace_back(name, value);
    }
    return out;
}

std::string raw_query(const std::string& target)
{
    const auto q = target.find('?');
    return q == std::string::npos ? std::string() : target.substr(q + 1);
}

std::string json_string(std::string_view s)
{
    return "\"" + json_escape(s) + "\"";
}

// Plain SO_REUSEADDR: the library's default is SO_REUSEPORT, which lets a
// second stand-in bind a port that is already serving and silently split the
// traffic with it instead of failing.
void loopback_socket_options(socket_t sock)
{
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

// The library only notices stop() between requests: a worker waiting on an
// idle keep-alive connection or on a half-sent request stays blocked until
// its read times out (seconds). Every socket in this process belongs to the
// listeners, so shutting them all down is what makes exit prompt.
void shut_down_all_sockets()
{
    ForEachSocket([](int fd) {
        ::shutdown(fd, SHUT_RDWR);
        return true;
    });
}

} // namespace

struct Server::Listener {
    int port = 0;
    bool tls = false;
    std::vector<const Role*> roles; // command-line order
    std::string role_list;          // "portal, contact"
    std::unique_ptr<httplib::Server> server;
    std::thread thread;

    Arrival arrival(const httplib::Request& req) const
    {
        Arrival a;
        a.port = port;
        a.roles = role_list;
        a.method = req.method;
        a.path = req.path;
        a.target = req.target;
        a.query = raw_query(req.target);
        a.content_type = req.get_header_value("Content-Type");
        a.body = &req.body;
        a.headers = received_headers(req.headers);
        if (req.ssl)
            if (X509* peer = SSL_get1_peer_certificate(req.ssl)) {
                char subject[512];
                X509_NAME_oneline(X509_get_subject_name(peer), subject, sizeof subject);
                a.client = subject;
                X509_free(peer);
            }
        return a;
    }

    std::string log_line(const Arrival& a, int rejected) const
    {
        using namespace std::chrono;
        const auto t_ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
        std::string s =
            "{\"t_ms\":" + std::to_string(t_ms) + ",\"port\":" + std::to_string(port) + ",\"roles\":[";
        for (std::size_t i = 0; i < roles.size(); ++i) {
            if (i)
                s += ',';
            s += json_string(roles[i]->name);
        }
        s += "],\"method\":" + json_string(a.method) + ",\"path\":" + json_string(a.path) +
             ",\"query\":" + json_string(a.query) + ",\"target\":" + json_string(a.target) + ",\"headers\":{";
        for (std::size_t i = 0; i < a.headers.size(); ++i) {
            if (i)
                s += ',';
            s += json_string(a.headers[i].first) + ":" + json_string(a.headers[i].second);
        }
        s += "},\"body\":" + json_string(a.body ? *a.body : std::string());
        if (!a.client.empty())
            s += ",\"client\":" + json_string(a.client);
        if (rejected)
            s += ",\"rejected\":" + std::to_string(rejected);
        s += '}';
        return s;
    }
};

void ForEachSocket(const std::function<bool(int)>& fn)
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(dir))
            continue;
        struct stat st {};
        if (fstat(static_cast<int>(fd), &st) == 0 && S_ISSOCK(st.st_mode) && !fn(static_cast<int>(fd)))
            break;
    }
    closedir(dir);
}

Server::Server(const Options& options) : options_(options)
{
    const auto group_by_port = [this](const std::vector<Role>& roles, bool tls) {
        for (const Role& r : roles) {
            Listener* l = nullptr;
            for (const auto& other : listeners_)
                if (other->tls == tls && other->port == r.port)
                    l = other.get();
            if (!l) {
                l = listeners_.emplace_back(std::make_unique<Listener>()).get();
                l->port = r.port;
                l->tls = tls;
            } else {
                l->role_list += ", ";
            }
            l->roles.push_back(&r);
            l->role_list += r.name;
        }
    };
    group_by_port(options_.roles, false);
    group_by_port(options_.tls_roles, true);
}

Server::~Server() = default;

int Server::prepare(Listener& l, const Answer& answer)
{
    if (l.tls) {
        // A refused certificate or a failed handshake ends inside the
        // library's connection handler (no request, nothing logged), on
        // that connection's own thread, so it cannot hold up other clients.
        auto tls = std::make_unique<httplib::SSLServer>(
            options_.cert_path->c_str(), options_.key_path->c_str(),
            options_.client_ca_path ? options_.client_ca_path->c_str() : nullptr);
        if (!tls->is_valid()) {
            std::fprintf(stderr,
                         "ostrel-standin: cannot use certificate %s with key %s (PEM files, "
                         "unencrypted key matching the certificate)\n",
                         options_.cert_path->c_str(), options_.key_path->c_str());
            return kExitUsage;
        }
        // A client that comes back resumes its TLS session; with client certificates asked
        // for, OpenSSL refuses that unless the sessions have a context to belong to.
        SSL_CTX_set_session_id_context(tls->ssl_context(), kSessionContext, sizeof kSessionContext - 1);
        l.server = std::move(tls);
    } else {
        l.server = std::make_unique<httplib::Server>();
    }
    httplib::Server& svr = *l.server;
    svr.new_task_queue = [] { return new ThreadPerConnection; };
    svr.set_socket_options(loopback_socket_options);
    svr.set_payload_max_length(kMaxBody);
    // Logged before it is answered: a test reads the line of a request that is still waiting.
    const httplib::Server::Handler handler = [this, &l, &answer](const httplib::Request& req,
                                                                 httplib::Response& res) {
        const Arrival a = l.arrival(req);
        log_.write(l.log_line(a, 0));
        answer(l.roles, req, a, res);
    };
    // A regex is the only catch-all the router offers; it is matched against
    // the decoded path, which the library caps at its request-URI limit.
    svr.Get(".*", handler);
    svr.Post(".*", handler);
    svr.Put(".*", handler);
    svr.Patch(".*", handler);
    svr.Delete(".*", handler);
    svr.Options(".*", handler);
    // Requests the library rejects before routing (bad request line, oversized body, a path with a
    // line break, which ".*" does not match) never reach the handler and are logged here instead.
    // The router fills in the request's matches when it hands one to the handler.
    svr.set_logger([this, &l](const httplib::Request& req, const httplib::Response& res) {
        if (req.matches.empty())
            log_.write(l.log_line(l.arrival(req), res.status));
    });

    errno = 0;
    if (!svr.bind_to_port("127.0.0.1", l.port)) {
        const int err = errno;
        std::fprintf(stderr,
                     "ostrel-standin: cannot listen on 127.0.0.1:%d (%sroles: %s): "
                     "%s\n",
                     l.port, l.tls ? "HTTPS, " : "", l.role_list.c_str(),
                     err ? std::strerror(err) : "bind failed");
        return kExitBind;
    }
    return 0;
}

int Server::Run(const Answer& answer)
{
    if (options_.log_path && !log_.open(*options_.log_path)) {
        std::fprintf(stderr, "ostrel-standin: cannot open log file %s: %s\n", options_.log_path->c_str(),
                     std::strerror(errno));
        return kExitUsage;
    }

    // Signals are taken synchronously by the main thread; block them before
    // any thread exists so every thread inherits the mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    for (const auto& l : listeners_)
        if (const int status = prepare(*l, answer))
            return status;

    std::mutex done_m;
    std::condition_variable done_cv;
    std::size_t running = listeners_.size();
    for (const auto& l : listeners_) {
        l->thread = std::thread([lp = l.get(), &done_m, &done_cv, &running] {
            if (!lp->server->listen_after_bind() && lp->server->is_running())
                std::fprintf(stderr, "ostrel-standin: listener on port %d failed\n", lp->port);
            std::lock_guard lock(done_m);
            --running;
            done_cv.notify_all();
        });
    }

    std::fputs("ostrel-standin ready\n", stdout);
    std::fflush(stdout);

    int sig = 0;
    while (sigwait(&stop_signals, &sig) != 0) {
    }

    shutdown_.begin();
    // stop() is a no-op until a listener thread has entered its accept loop,
    // so keep asking until every loop has ended or the grace period is over.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
    bool all_done = false;
    {
        std::unique_lock lock(done_m);
        while (!all_done && std::chrono::steady_clock::now() < deadline) {
            lock.unlock();
            for (const auto& l : listeners_)
                l->server->stop();
            shut_down_all_sockets();
            lock.lock();
            all_done = done_cv.wait_for(lock, std::chrono::milliseconds(20), [&] { return running == 0; });
        }
    }
    log_.flush();
    std::fflush(stdout);
    if (!all_done) {
        // A worker is stuck somewhere the shutdown signal cannot reach (e.g. a
        // client trickling a request); the promise is a prompt exit.
        std::fprintf(stderr, "ostrel-standin: forced exit, a connection was "
                             "still busy\n");
        std::_Exit(0);
    }
    for (const auto& l : listeners_)
        l->thread.join();
    return 0;
}

} // namespace standin
