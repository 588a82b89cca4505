// ostrel-standin: a loopback stand-in for the insurer's portal and the other
// destinations the Ostrel Web shell opens. A build whose destination origins
// point at 127.0.0.1 can run against it, and every request the shell makes is
// written to a JSON-lines log that tests read while the server is running.

#include "options.h"
#include "pages.h"
#include "routing.h"

#include <httplib.h>

#include <dirent.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

namespace {

using standin::Arrival;
using standin::Exchange;
using standin::Handler;
using standin::kHtml;
using standin::Pairs;

using standin::equal_ci;
using standin::kExitUsage;
using standin::leading_number;
using standin::Options;
using standin::Role;
using standin::Route;
using standin::Router;
using standin::starts_with_ci;

constexpr int kExitBind = 1;
constexpr int kSlowCapMs = 10000;
// Bodies are kept in memory to be logged; bound them so a runaway client
// gets a 413 instead of exhausting memory.
constexpr std::size_t kMaxBody = 64u << 20;
// Download sizes; tests recompute the bytes from the rule in pattern_byte().
constexpr std::size_t kPolicyPdfSize = 400u << 10;
constexpr std::size_t kUnknownBinSize = 100u << 10;
constexpr std::size_t kChunkSize = 16u << 10;
constexpr std::size_t kBrokenBinSize = 400u << 10;
// broken.bin loses its connection after this much of its body on every other request.
constexpr std::size_t kBrokenBinCut = 100u << 10;
constexpr std::size_t kSlowBinSize = 1u << 20;
constexpr long kSlowBinDefaultMs = 10000;
constexpr long kSlowBinCapMs = 60000;
constexpr long kBigBinDefaultKb = 1024;
constexpr long kBigBinCapKb = 65536;
constexpr std::size_t kNamedSize = 1024;
// big.bin goes out in larger pieces than the rest: it is about speed, not about pieces.
constexpr std::size_t kBigPieceSize = 64u << 10;
// ostrel:secret, the only credentials /auth accepts.
constexpr std::string_view kAuthCredentials = "b3N0cmVsOnNlY3JldA==";
// agent:portaal, what the portal takes with --portal-login: another login than /auth's, so that a
// browser that signed in there has not signed in here.
constexpr std::string_view kPortalCredentials = "YWdlbnQ6cG9ydGFhbA==";

struct Listener {
    int port = 0;
    bool tls = false;
    std::vector<const Role*> roles; // command-line order
    std::string role_list;          // "portal, contact"
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
};

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

class RequestLog {
public:
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

Shutdown g_shutdown;
RequestLog g_log;
std::atomic<unsigned long long> g_cached_served{0};
std::atomic<unsigned long long> g_sessions{0};
std::atomic<unsigned long long> g_broken_served{0};

// Set by the route handler, consumed by the library's logger hook: requests
// the library rejects before routing (bad request line, oversized body) never
// reach a handler and are logged from the hook instead.
thread_local bool t_logged = false;

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

Arrival make_arrival(const Listener& l, const httplib::Request& req)
{
    Arrival a;
    a.port = l.port;
    a.roles = l.role_list;
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

std::string json_string(std::string_view s)
{
    return "\"" + standin::json_escape(s) + "\"";
}

std::string log_line(const Listener& l, const Arrival& a, int rejected)
{
    using namespace std::chrono;
    const auto t_ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    std::string s =
        "{\"t_ms\":" + std::to_string(t_ms) + ",\"port\":" + std::to_string(l.port) + ",\"roles\":[";
    for (std::size_t i = 0; i < l.roles.size(); ++i) {
        if (i)
            s += ',';
        s += json_string(l.roles[i]->name);
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

const Role& gateway_role(const Exchange& x)
{
    if (x.addressed)
        return *x.addressed;
    for (const Role* r : x.roles)
        if (r->vpn_status || r->vpn_hang)
            return *r;
    for (const Role* r : x.roles)
        if (r->name.rfind("gateway", 0) == 0)
            return *r;
    return *x.roles.front();
}

void serve_gateway(const Exchange& x)
{
    httplib::Response& res = x.res;
    const Role& role = gateway_role(x);
    if (role.vpn_hang) {
        // The connection stays open without an answer so the shell's probe has
        // to time out. Only shutdown ends the wait, and by then the socket is
        // being shut down, so this 503 normally never reaches the client.
        g_shutdown.wait();
        res.status = 503;
        res.set_content("shutting down\n", "text/plain; charset=utf-8");
        return;
    }
    const int status = role.vpn_status ? role.vpn_status : 200;
    res.status = status;
    res.set_content(standin::gateway_page(role.name, status, x.a), kHtml);
}

// /status/N
void serve_status(const Exchange& x)
{
    const std::string_view code_text = x.rest;
    const int code = code_text.size() <= 3 && standin::all_digits(code_text)
                         ? static_cast<int>(leading_number(code_text, 999))
                         : 0;
    if (code <= 100 || code >= 600)
        return x.refuse(400, "/status/N needs 100 < N < 600");
    x.res.status = code;
    // These statuses must not carry a body.
    if (code < 200 || code == 204 || code == 304)
        return;
    x.res.set_content(standin::status_page(x.a, code), kHtml);
}

void serve_redirect(const Exchange& x)
{
    std::string to;
    if (!standin::form_value(x.a.query, "to", to) || to.empty())
        return x.refuse(400, "/redirect needs ?to=URL");
    if (to.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        return x.refuse(400, "redirect target contains CR, LF or NUL");
    httplib::Response& res = x.res;
    res.status = 302;
    res.set_header("Location", to);
    res.set_content("<!DOCTYPE html><meta charset=\"utf-8\"><title>Redirect"
                    "</title><p>Redirecting to <a href=\"" +
                        standin::html_escape(to) + "\">" + standin::html_escape(to) + "</a></p>\n",
                    kHtml);
}

// A byte sequence a test can regenerate on its side without a copy of the
// file: byte i is (i * 31 + 7) % 251. 251 is prime, so the pattern does not
// repeat on a power-of-two boundary and a misplaced chunk shows up.
constexpr std::size_t kPatternPeriod = 251;
char pattern_byte(std::size_t i)
{
    return static_cast<char>((i * 31 + 7) % kPatternPeriod);
}

// Built once; the chunked download serves slices of the same bytes.
const std::string& pattern_bytes()
{
    static const std::string bytes = [] {
        std::string b(std::max({kPolicyPdfSize, kUnknownBinSize, kBrokenBinSize}), '\0');
        for (std::size_t i = 0; i < b.size(); ++i)
            b[i] = pattern_byte(i);
        return b;
    }();
    return bytes;
}

// The pattern from byte `offset` of a file on, for pieces of up to kBigPieceSize bytes: it repeats
// every kPatternPeriod bytes, so the bytes built once serve any offset.
const char* pattern_from(std::size_t offset)
{
    static_assert(kBigPieceSize + kPatternPeriod <= kPolicyPdfSize);
    return pattern_bytes().data() + offset % kPatternPeriod;
}

void attachment(httplib::Response& res, std::string_view filename)
{
    res.set_header("Content-Disposition", "attachment; filename=\"" + std::string(filename) + "\"");
}

// A one-page PDF that says "Polisvoorwaarden", with its cross-reference table
// computed from the real offsets so that any viewer accepts it.
std::string minimal_pdf()
{
    const std::string stream = "BT /F1 24 Tf 72 720 Td (Polisvoorwaarden) Tj ET";
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char line[21];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// Calls `fn` with every socket this process has open, until it returns false.
void for_each_socket(const std::function<bool(int)>& fn)
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

int socket_port(const sockaddr_storage& addr)
{
    if (addr.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(addr).sin_port);
    if (addr.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(addr).sin6_port);
    return -1;
}

// The socket of the request's connection, found by its two ports (the library does not hand it to
// handlers); -1 if there is none.
int connection_socket(const httplib::Request& req)
{
    int found = -1;
    for_each_socket([&](int fd) {
        sockaddr_storage local{}, peer{};
        socklen_t local_len = sizeof local, peer_len = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_len) == 0 &&
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_len) == 0 &&
            socket_port(local) == req.local_port && socket_port(peer) == req.remote_port)
            found = fd;
        return found < 0;
    });
    return found;
}

// Ends the connection with a reset once what was written has reached the client. A connection that
// just closes early is a short body that Chromium fetches again at once by itself, so the user
// would never see the download fail; a reset is a network failure that waits for the user.
void reset_connection(int fd)
{
    // The reset throws away whatever is still queued. A client that stops reading gets the reset
    // all the same, 2 s on.
    for (int i = 0; i < 400; ++i) {
        int queued = 0;
        if (ioctl(fd, SIOCOUTQ, &queued) != 0 || queued == 0)
            break;
        if (g_shutdown.wait_for(std::chrono::milliseconds(5)))
            return;
    }
    // Dissolving the association aborts a TCP connection with a reset and leaves the descriptor to
    // the library, which closes it as usual. Closing with SO_LINGER 0 would not do: the library
    // shuts the socket down first, which sends an orderly end before the reset.
    sockaddr unspecified{};
    unspecified.sa_family = AF_UNSPEC;
    connect(fd, &unspecified, sizeof unspecified);
}

// cpp-httplib 0.11 takes a Range's end as given: past the end of the file it announces bytes that do
// not exist, and asks a content provider for them; a start past the end makes the length wrap
// around, so a provider would be asked for bytes without end. Such a Range gets 416, like an empty
// one (bytes=-0). True when it did.
bool refuse_range_beyond(const httplib::Request& req, std::size_t size, httplib::Response& res)
{
    for (const auto& [first, last] : req.ranges) {
        const bool beyond = first < 0 ? last == 0
                                      : static_cast<std::size_t>(first) >= size ||
                                            (last >= 0 && static_cast<std::size_t>(last) >= size);
        if (beyond) {
            res.status = 416;
            res.set_header("Content-Range", "bytes */" + std::to_string(size));
            return true;
        }
    }
    return false;
}

// The pattern bytes of a file of `size` bytes, as fast as the client takes them. The library asks
// for the rest from `offset` on (also for a Range), until `size` is reached.
void serve_pattern(const Exchange& x, std::size_t size)
{
    const httplib::Request& req = x.req;
    httplib::Response& res = x.res;
    if (refuse_range_beyond(req, size, res))
        return;
    res.set_content_provider(size, "application/octet-stream",
                             [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                 return sink.write(pattern_from(offset), std::min(length, kBigPieceSize));
                             });
}

// /files/named: a download whose name is whatever the query says, control characters and all,
// sent the one way a header can carry any bytes (RFC 5987); a plain name first for clients that
// know no other.
void serve_named(const Exchange& x)
{
    std::string name;
    if (!standin::form_value(x.a.query, "name", name) || name.empty())
        return x.refuse(400, "/files/named needs ?name=NAME");
    std::string type;
    if (!standin::form_value(x.a.query, "type", type) || type.empty())
        type = "application/octet-stream";
    // The library would silently drop such a header and send the file without a type.
    if (type.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        return x.refuse(400, "type contains CR, LF or NUL");
    const httplib::Request& req = x.req;
    httplib::Response& res = x.res;
    res.set_header("Content-Disposition", "attachment; filename=\"download.bin\"; filename*=UTF-8''" +
                                              standin::percent_encode(name));
    if (!refuse_range_beyond(req, kNamedSize, res))
        res.set_content(pattern_bytes().data(), kNamedSize, type);
}

// /files/broken.bin, for a download that fails half-way and is tried again: every other request
// (the first, the third, ...) loses its connection after part of the body, the others get the
// whole file, or the Range asked for. HEAD requests carry no body and do not count.
void serve_broken(const Exchange& x)
{
    const httplib::Request& req = x.req;
    httplib::Response& res = x.res;
    attachment(res, "broken.bin");
    // The bytes never change. Without a validator Chromium restarts an interrupted download from
    // the start; with one it resumes with a Range (and If-Range, which can only match).
    res.set_header("ETag", "\"broken-bin-409600\"");
    if (refuse_range_beyond(req, kBrokenBinSize, res))
        return;
    const bool cut = req.method != "HEAD" && ++g_broken_served % 2 == 1;
    if (!cut) {
        // The status is left to the library: it answers 206 with Content-Range for a Range only
        // when the handler has set no status of its own.
        res.set_content(pattern_bytes().data(), kBrokenBinSize, "application/octet-stream");
        return;
    }
    auto cut_short = [fd = connection_socket(req), sent = std::size_t{0}](
                         std::size_t offset, std::size_t length, httplib::DataSink& sink) mutable {
        if (sent >= kBrokenBinCut) {
            if (fd >= 0)
                reset_connection(fd);
            // Refusing to go on makes the library close the connection, the body unfinished.
            return false;
        }
        const std::size_t n = std::min({length, kChunkSize, kBrokenBinCut - sent});
        sent += n;
        return sink.write(pattern_from(offset), n);
    };
    res.set_content_provider(kBrokenBinSize, "application/octet-stream", std::move(cut_short));
}

// /files/slow.bin: the pieces go out at an even pace, the first at once and the last `ms` after it.
void serve_slow(const Exchange& x)
{
    const httplib::Request& req = x.req;
    httplib::Response& res = x.res;
    constexpr long kPieces = kSlowBinSize / kChunkSize;
    const long ms = x.query_number("ms", kSlowBinDefaultMs, kSlowBinCapMs);
    auto paced = [ms, start = std::chrono::steady_clock::time_point(),
                  piece = 0L](std::size_t offset, std::size_t length, httplib::DataSink& sink) mutable {
        if (piece == 0)
            start = std::chrono::steady_clock::now();
        const auto due = start + std::chrono::microseconds(ms * 1000 * piece / (kPieces - 1));
        // Shutdown ends the answer here, unfinished, instead of holding up the exit.
        if (g_shutdown.wait_until(due))
            return false;
        ++piece;
        return sink.write(pattern_from(offset), std::min(length, kChunkSize));
    };
    attachment(res, "slow.bin");
    if (refuse_range_beyond(req, kSlowBinSize, res))
        return;
    res.set_content_provider(kSlowBinSize, "application/octet-stream", std::move(paced));
}

// False for any other name, which keeps getting the generic page like every
// path the stand-in does not know.
bool serve_file(const Exchange& x)
{
    const std::string_view name = x.rest;
    httplib::Response& res = x.res;
    if (name == "policy.pdf") {
        attachment(res, name);
        res.set_content(pattern_bytes().data(), kPolicyPdfSize, "application/pdf");
    } else if (name == "conditions.pdf") {
        // Shown inline: the browser's own PDF viewer opens it.
        res.set_content(minimal_pdf(), "application/pdf");
    } else if (name == "launch.ica") {
        attachment(res, name);
        res.set_content("[ApplicationServers]\r\nOstrel=\r\n", "application/x-ica");
    } else if (name == "bom.ica") {
        // As Windows tools write text: a byte-order mark first.
        attachment(res, name);
        res.set_content("\xEF\xBB\xBF[ApplicationServers]\r\nOstrel=\r\n", "application/x-ica");
    } else if (name == "launcher.aspx") {
        // A gateway's launch page: a launch file by its type alone, with no name of its own.
        res.set_content("[ApplicationServers]\r\nOstrel=\r\n", "application/x-ica");
    } else if (name == "evil.ica" || name == "script.sh") {
        // Named as a launch file or a script, a shell script inside: the name decides nothing.
        attachment(res, name);
        res.set_content("#!/bin/sh\necho owned\n", "application/x-ica");
    } else if (name == "evil.desktop") {
        attachment(res, name);
        res.set_content("[Desktop Entry]\nType=Application\nName=Evil\nExec=sh -c 'echo owned'\n",
                        "application/x-ica");
    } else if (name == "page.html") {
        attachment(res, name);
        res.set_content("<html><body>owned</body></html>\n", "application/x-ica");
    } else if (name == "noext") {
        attachment(res, name);
        res.set_content("[ApplicationServers]\r\nOstrel=\r\n", "application/x-ica");
    } else if (name == "wfclient.ica") {
        // A client settings file, not a launch file, though it comes as one.
        attachment(res, name);
        res.set_content("[WFClient]\r\nVersion=2\r\n\r\n[ApplicationServers]\r\nDesktop=\r\n\r\n"
                        "[Desktop]\r\nAddress=127.0.0.1:1494\r\nInitialProgram=#Desktop\r\n",
                        "application/x-ica");
    } else if (name == "named") {
        serve_named(x);
    } else if (name == "broken.bin") {
        serve_broken(x);
    } else if (name == "slow.bin") {
        serve_slow(x);
    } else if (name == "big.bin") {
        attachment(res, name);
        const long kb = std::max(1L, x.query_number("kb", kBigBinDefaultKb, kBigBinCapKb));
        serve_pattern(x, static_cast<std::size_t>(kb) << 10);
    } else if (name == "unknown.bin") {
        // Chunked, so the browser cannot know the size in advance: the download
        // has to cope without a Content-Length.
        attachment(res, name);
        res.set_chunked_content_provider(
            "application/octet-stream", [](std::size_t offset, httplib::DataSink& sink) {
                const std::size_t n = std::min(kChunkSize, kUnknownBinSize - offset);
                if (n && !sink.write(pattern_bytes().data() + offset, n))
                    return false;
                if (offset + n >= kUnknownBinSize)
                    sink.done();
                return true;
            });
    } else {
        return false;
    }
    return true;
}

// A real PNG of a few KB without an image library: a 32 x 32 colour gradient, its pixels in one
// stored (uncompressed) deflate block, with the CRCs and the checksum the format asks for.
std::string bench_png()
{
    constexpr int kSide = 32;
    std::string raw;
    for (int y = 0; y < kSide; ++y) {
        raw += '\0'; // no filter on this row
        for (int x = 0; x < kSide; ++x) {
            raw += static_cast<char>(x * 8);
            raw += static_cast<char>(y * 8);
            raw += static_cast<char>(160);
        }
    }
    const auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    const auto crc32 = [](std::string_view bytes) {
        std::uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        return ~c;
    };
    const auto chunk = [&](std::string_view type, const std::string& data) {
        const std::string typed = std::string(type) + data;
        return be32(static_cast<std::uint32_t>(data.size())) + typed + be32(crc32(typed));
    };
    std::uint32_t a = 1, b = 0; // Adler-32 of the raw bytes
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    // The zlib header, then one final stored block: its length and the length's complement, each
    // little-endian.
    const auto len = static_cast<std::uint16_t>(raw.size());
    std::string zlib = "\x78\x01\x01";
    for (const std::uint16_t v : {len, static_cast<std::uint16_t>(~len)}) {
        zlib += static_cast<char>(v & 0xFF);
        zlib += static_cast<char>(v >> 8);
    }
    zlib += raw + be32((b << 16) | a);
    const std::string header = be32(kSide) + be32(kSide) + std::string{8, 2, 0, 0, 0}; // 8-bit RGB
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", zlib) +
           chunk("IEND", "");
}

bool signed_in(const httplib::Request& req, std::string_view credentials = kAuthCredentials)
{
    const std::string header = req.get_header_value("Authorization");
    std::string_view given = header;
    if (!starts_with_ci(given, "Basic "))
        return false;
    given.remove_prefix(6);
    while (!given.empty() && given.front() == ' ')
        given.remove_prefix(1);
    return given == credentials;
}

void serve_auth(const Exchange& x, std::string_view credentials = kAuthCredentials,
                const char* realm = "Ostrel")
{
    const bool admitted = signed_in(x.req, credentials);
    if (!admitted) {
        x.res.status = 401;
        x.res.set_header("WWW-Authenticate", std::string("Basic realm=\"") + realm + '"');
    }
    x.res.set_content(standin::auth_page(x.a, admitted), kHtml);
}

// /slow?ms=N: the generic page, N ms late.
void serve_slow_page(const Exchange& x)
{
    std::string ms;
    standin::form_value(x.a.query, "ms", ms);
    g_shutdown.wait_for(std::chrono::milliseconds(leading_number(ms, kSlowCapMs)));
    x.res.set_content(standin::generic_page(x.a), kHtml);
}

void serve_cached(const Exchange& x)
{
    x.res.set_content(standin::cached_page(x.a, ++g_cached_served), kHtml);
}

void serve_login(const Exchange& x)
{
    const auto session = ++g_sessions;
    x.res.set_header("Set-Cookie", "ostrelsession=" + std::to_string(session) + "; Path=/");
    x.res.set_content(standin::login_page(x.a, session), kHtml);
}

void serve_popup_target(const Exchange& x)
{
    x.res.set_content(standin::popup_target_page(x.a, x.req.get_header_value("Cookie")), kHtml);
}

void serve_hostile_confirm(const Exchange& x)
{
    std::string ask;
    if (!standin::form_value(x.a.query, "ask", ask) || ask.empty() || ask == "confirm")
        x.res.set_content(standin::hostile_confirm_page(x.a, false), kHtml);
    else if (ask == "prompt")
        x.res.set_content(standin::hostile_confirm_page(x.a, true), kHtml);
    else
        x.refuse(400, "/hostile/confirm asks confirm or prompt");
}

// A handler that answers with the page `make` makes of what arrived.
Handler page(std::string (*make)(const Arrival&))
{
    return [make](const Exchange& x) { x.res.set_content(make(x.a), kHtml); };
}

// Likewise for a page whose links stay below the role's path.
Handler page_below(std::string (*make)(const Arrival&, std::string_view base))
{
    return [make](const Exchange& x) { x.res.set_content(make(x.a, x.base()), kHtml); };
}

// A handler that answers with a page of `make` that needs the query parameter `name`, and refuses
// the request when it is missing or empty.
Handler page_of(std::string_view name, std::string why,
                std::function<std::string(const Exchange&, const std::string&)> make)
{
    return [name, why = std::move(why), make = std::move(make)](const Exchange& x) {
        std::string value;
        if (!standin::form_value(x.a.query, name, value) || value.empty())
            return x.refuse(400, why);
        x.res.set_content(make(x, value), kHtml);
    };
}

// --portal-at: the portal's "/" answers from elsewhere.
Handler portal_elsewhere(std::string to)
{
    return [to = std::move(to)](const Exchange& x) {
        x.res.status = 307; // the method and body go along
        x.res.set_header("Location", to + (x.a.query.empty() ? "" : "?" + x.a.query));
    };
}

// --start-page: the version-stamped portal page is another page of the stand-in's.
Handler start_page(std::string path)
{
    return [path = std::move(path)](const Exchange& x) {
        x.res.status = 302;
        x.res.set_header("Location", std::string(x.base()) + path);
    };
}

bool for_portal(const Exchange& x)
{
    return x.for_portal();
}

// The start-up's page (a GET with the version in its query), not its POST.
bool version_stamped_portal_page(const Exchange& x)
{
    return x.req.method == "GET" && !x.a.query.empty() && x.for_portal();
}

// What the portal's "/" is when the command line says: elsewhere, behind a login, a start page of
// its own, the bench page; then, with a window, anyone's "/". In this order, before the rest.
std::vector<Route> start_routes(const Options& o)
{
    std::vector<Route> t;
    if (!o.portal_at.empty())
        t.push_back({.path = "/", .answer = portal_elsewhere(o.portal_at), .when = for_portal});
    if (o.portal_login)
        t.push_back(
            {.path = "/",
             .answer = [](const Exchange& x) { serve_auth(x, kPortalCredentials, "Ostrel portaal"); },
             .when =
                 [](const Exchange& x) { return x.for_portal() && !signed_in(x.req, kPortalCredentials); }});
    if (!o.start_page.empty())
        t.push_back({.path = "/", .answer = start_page(o.start_page), .when = version_stamped_portal_page});
    if (o.bench_page) {
        t.push_back(
            {.path = "/",
             .answer =
                 [](const Exchange& x) { x.res.set_content(standin::bench_page("/bench/image.png"), kHtml); },
             .when = for_portal});
        t.push_back({.path = "/bench/image.png", .answer = [png = bench_png()](const Exchange& x) {
                         x.res.set_content(png, "image/png");
                     }});
        t.push_back({.path = "/bench/popup", .answer = [](const Exchange& x) {
                         x.res.set_content(standin::bench_popup_page(), kHtml);
                     }});
    }
    if (o.open_window)
        t.push_back({.path = "/", .answer = [](const Exchange& x) {
                         x.res.set_content(standin::generic_page(x.a) +
                                               "<script>window.open('/popup/target', 'ostrelpopup', "
                                               "'width=400,height=300')</script>\n",
                                           kHtml);
                     }});
    return t;
}

// Every path the stand-in answers other than with the generic page, and how.
std::vector<Route> page_routes(const Options& o)
{
    std::vector<Route> t = start_routes(o);
    t.insert(
        t.end(),
        {
            {"/vpn/index.html", serve_gateway},
            {"/frames", page(standin::frames_page)},
            {"/frame/a", [](const Exchange& x) { x.res.set_content(standin::frame_page(x.a, 'a'), kHtml); }},
            {"/frame/b", [](const Exchange& x) { x.res.set_content(standin::frame_page(x.a, 'b'), kHtml); }},
            {"/slow", serve_slow_page},
            {"/cached", serve_cached},
            {"/status/", serve_status, Route::Match::Prefix},
            {"/redirect", serve_redirect},
            {"/alert", page(standin::alert_page)},
            {"/beforeunload", page(standin::beforeunload_page)},
            {"/downloads", page(standin::downloads_page)},
            {"/files/",
             [](const Exchange& x) {
                 if (!serve_file(x))
                     x.res.set_content(standin::generic_page(x.a), kHtml);
             },
             Route::Match::Prefix},
            {"/popup", page(standin::popup_page)},
            {"/popup/target", serve_popup_target},
            {"/login", serve_login},
            {"/auth", [](const Exchange& x) { serve_auth(x); }},
            {"/print", page(standin::print_page)},
            {"/keys", page(standin::keys_page)},
            {"/crash", page(standin::crash_page)},
            // What no page should get to do to the user. "reached" is such a page telling the log how
            // far its script got (pages.cpp: reached).
            {"/hostile/reached", [](const Exchange& x) { x.res.status = 204; }},
            {"/hostile/frames", page_of("src", "/hostile/frames needs ?src=URL",
                                        [](const Exchange& x, const std::string& src) {
                                            return standin::hostile_frames_page(x.a, src,
                                                                                x.query_number("n", 1, 100));
                                        })},
            {"/hostile/downloads", page_below(standin::hostile_downloads_page)},
            {"/hostile/navigate", page_of("to", "/hostile/navigate needs ?to=URL",
                                          [](const Exchange& x, const std::string& to) {
                                              return standin::hostile_navigate_page(
                                                  x.a, to, x.query_number("n", 1, 1000),
                                                  x.query_number("every", 50, 60000));
                                          })},
            {"/hostile/links", page_below(standin::hostile_links_page)},
            {"/hostile/link", page_of("to", "/hostile/link needs ?to=URL",
                                      [](const Exchange& x, const std::string& to) {
                                          return standin::hostile_link_page(x.a, to);
                                      })},
            {"/hostile/linkframe", page(standin::hostile_linkframe_page)},
            {"/hostile/alerts", page(standin::hostile_alerts_page)},
            {"/hostile/confirm", serve_hostile_confirm},
            {"/hostile/hang",
             [](const Exchange& x) {
                 x.res.set_content(standin::hostile_hang_page(x.a, x.query_number("after", 200, 60000),
                                                              x.query_number("busy", 0, 60000)),
                                   kHtml);
             }},
            {"/hostile/popups",
             [](const Exchange& x) {
                 x.res.set_content(standin::hostile_popups_page(x.a, x.base(), x.query_number("n", 10, 200)),
                                   kHtml);
             }},
            {"/hostile/bigpopup", page_below(standin::hostile_bigpopup_page)},
            {"/hostile/cover", page(standin::hostile_cover_page)},
            {"/hostile/names", page_below(standin::hostile_names_page)},
        });
    return t;
}

void serve(const Router& router, const Listener& l, const httplib::Request& req, httplib::Response& res)
{
    t_logged = true;
    const Arrival a = make_arrival(l, req);
    g_log.write(log_line(l, a, 0));
    router.Serve(l.roles, req, a, res);
}

// Roles sharing a port share one listener whose pages name all of them.
void group_by_port(const std::vector<Role>& roles, bool tls, std::map<int, Listener>& by_port,
                   std::vector<Listener*>& listeners)
{
    for (const Role& r : roles) {
        Listener& l = by_port[r.port];
        if (l.roles.empty()) {
            l.port = r.port;
            l.tls = tls;
            listeners.push_back(&l);
        } else {
            l.role_list += ", ";
        }
        l.roles.push_back(&r);
        l.role_list += r.name;
    }
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
    for_each_socket([](int fd) {
        ::shutdown(fd, SHUT_RDWR);
        return true;
    });
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    try {
        options = standin::ParseOptions(argc, argv);
    } catch (const standin::UsageError& e) {
        std::fprintf(stderr, "ostrel-standin: %s\n(see ostrel-standin --help)\n", e.what());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(standin::kUsage, stdout);
        return 0;
    }
    if (options.log_path && !g_log.open(*options.log_path)) {
        std::fprintf(stderr, "ostrel-standin: cannot open log file %s: %s\n", options.log_path->c_str(),
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

    const Router router(page_routes(options));
    std::map<int, Listener> by_port;
    std::map<int, Listener> tls_by_port;
    std::vector<Listener*> listeners; // first-mention order, plain HTTP first
    group_by_port(options.roles, false, by_port, listeners);
    group_by_port(options.tls_roles, true, tls_by_port, listeners);

    for (Listener* lp : listeners) {
        Listener& l = *lp;
        if (l.tls) {
            // A refused certificate or a failed handshake ends inside the
            // library's connection handler (no request, nothing logged), on
            // that connection's own thread, so it cannot hold up other clients.
            auto tls = std::make_unique<httplib::SSLServer>(
                options.cert_path->c_str(), options.key_path->c_str(),
                options.client_ca_path ? options.client_ca_path->c_str() : nullptr);
            if (!tls->is_valid()) {
                std::fprintf(stderr,
                             "ostrel-standin: cannot use certificate %s with key %s (PEM files, "
                             "unencrypted key matching the certificate)\n",
                             options.cert_path->c_str(), options.key_path->c_str());
                return kExitUsage;
            }
            // A client that comes back resumes its TLS session; with client certificates asked
            // for, OpenSSL refuses that unless the sessions have a context to belong to.
            static const unsigned char kSessionContext[] = "ostrel-standin";
            SSL_CTX_set_session_id_context(tls->ssl_context(), kSessionContext, sizeof kSessionContext - 1);
            l.server = std::move(tls);
        } else {
            l.server = std::make_unique<httplib::Server>();
        }
        httplib::Server& svr = *l.server;
        svr.new_task_queue = [] { return new ThreadPerConnection; };
        svr.set_socket_options(loopback_socket_options);
        svr.set_payload_max_length(kMaxBody);
        const httplib::Server::Handler handler = [&router, &l](const httplib::Request& req,
                                                               httplib::Response& res) {
            serve(router, l, req, res);
        };
        // A regex is the only catch-all the router offers; it is matched against
        // the decoded path, which the library caps at its request-URI limit.
        svr.Get(".*", handler);
        svr.Post(".*", handler);
        svr.Put(".*", handler);
        svr.Patch(".*", handler);
        svr.Delete(".*", handler);
        svr.Options(".*", handler);
        svr.set_logger([&l](const httplib::Request& req, const httplib::Response& res) {
            if (!t_logged)
                g_log.write(log_line(l, make_arrival(l, req), res.status));
            t_logged = false;
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
    }

    std::mutex done_m;
    std::condition_variable done_cv;
    std::size_t running = listeners.size();
    for (Listener* lp : listeners) {
        lp->thread = std::thread([lp, &done_m, &done_cv, &running] {
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

    g_shutdown.begin();
    // stop() is a no-op until a listener thread has entered its accept loop,
    // so keep asking until every loop has ended or the grace period is over.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
    bool all_done = false;
    {
        std::unique_lock lock(done_m);
        while (!all_done && std::chrono::steady_clock::now() < deadline) {
            lock.unlock();
            for (Listener* lp : listeners)
                lp->server->stop();
            shut_down_all_sockets();
            lock.lock();
            all_done = done_cv.wait_for(lock, std::chrono::milliseconds(20), [&] { return running == 0; });
        }
    }
    g_log.flush();
    std::fflush(stdout);
    if (!all_done) {
        // A worker is stuck somewhere the shutdown signal cannot reach (e.g. a
        // client trickling a request); the promise is a prompt exit.
        std::fprintf(stderr, "ostrel-standin: forced exit, a connection was "
                             "still busy\n");
        std::_Exit(0);
    }
    for (Listener* lp : listeners)
        lp->thread.join();
    return 0;
}
