// ostrel-standin: a loopback stand-in for the insurer's portal and the other
// destinations the Ostrel Web shell opens. A build whose destination origins
// point at 127.0.0.1 can run against it, and every request the shell makes is
// written to a JSON-lines log that tests read while the server is running.

#include "options.h"
#include "pages.h"
#include "routing.h"
#include "server.h"

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
using standin::Counters;
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
using standin::Shutdown;
using standin::starts_with_ci;

constexpr int kSlowCapMs = 10000;
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

void serve_gateway(Shutdown& shutdown, const Exchange& x)
{
    httplib::Response& res = x.res;
    const Role& role = gateway_role(x);
    if (role.vpn_hang) {
        // The connection stays open without an answer so the shell's probe has
        // to time out. Only shutdown ends the wait, and by then the socket is
        // being shut down, so this 503 normally never reaches the client.
        shutdown.wait();
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
    standin::ForEachSocket([&](int fd) {
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
void reset_connection(int fd, Shutdown& shutdown)
{
    // The reset throws away whatever is still queued. A client that stops reading gets the reset
    // all the same, 2 s on.
    for (int i = 0; i < 400; ++i) {
        int queued = 0;
        if (ioctl(fd, SIOCOUTQ, &queued) != 0 || queued == 0)
            break;
        if (shutdown.wait_for(std::chrono::milliseconds(5)))
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
void serve_broken(Shutdown& shutdown, std::atomic<unsigned long long>& served, const Exchange& x)
{
    const httplib::Request& req = x.req;
    httplib::Response& res = x.res;
    attachment(res, "broken.bin");
    // The bytes never change. Without a validator Chromium restarts an interrupted download from
    // the start; with one it resumes with a Range (and If-Range, which can only match).
    res.set_header("ETag", "\"broken-bin-409600\"");
    if (refuse_range_beyond(req, kBrokenBinSize, res))
        return;
    const bool cut = req.method != "HEAD" && ++served % 2 == 1;
    if (!cut) {
        // The status is left to the library: it answers 206 with Content-Range for a Range only
        // when the handler has set no status of its own.
        res.set_content(pattern_bytes().data(), kBrokenBinSize, "application/octet-stream");
        return;
    }
    auto cut_short = [&shutdown, fd = connection_socket(req), sent = std::size_t{0}](
                         std::size_t offset, std::size_t length, httplib::DataSink& sink) mutable {
        if (sent >= kBrokenBinCut) {
            if (fd >= 0)
                reset_connection(fd, shutdown);
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
void serve_slow(Shutdown& shutdown, const Exchange& x)
{
    const httplib::Request& req = x.req;
    httplib::Response& res = x.res;
    constexpr long kPieces = kSlowBinSize / kChunkSize;
    const long ms = x.query_number("ms", kSlowBinDefaultMs, kSlowBinCapMs);
    auto paced = [&shutdown, ms, start = std::chrono::steady_clock::time_point(),
                  piece = 0L](std::size_t offset, std::size_t length, httplib::DataSink& sink) mutable {
        if (piece == 0)
            start = std::chrono::steady_clock::now();
        const auto due = start + std::chrono::microseconds(ms * 1000 * piece / (kPieces - 1));
        // Shutdown ends the answer here, unfinished, instead of holding up the exit.
        if (shutdown.wait_until(due))
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
bool serve_file(Shutdown& shutdown, Counters& counters, const Exchange& x)
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
        serve_broken(shutdown, counters.broken_served, x);
    } else if (name == "slow.bin") {
        serve_slow(shutdown, x);
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
void serve_slow_page(Shutdown& shutdown, const Exchange& x)
{
    std::string ms;
    standin::form_value(x.a.query, "ms", ms);
    shutdown.wait_for(std::chrono::milliseconds(leading_number(ms, kSlowCapMs)));
    x.res.set_content(standin::generic_page(x.a), kHtml);
}

void serve_cached(Counters& counters, const Exchange& x)
{
    x.res.set_content(standin::cached_page(x.a, ++counters.cached_served), kHtml);
}

void serve_login(Counters& counters, const Exchange& x)
{
    const auto session = ++counters.sessions;
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
std::vector<Route> page_routes(const Options& o, Shutdown& shutdown, Counters& counters)
{
    std::vector<Route> t = start_routes(o);
    t.insert(
        t.end(),
        {
            {"/vpn/index.html", [&shutdown](const Exchange& x) { serve_gateway(shutdown, x); }},
            {"/frames", page(standin::frames_page)},
            {"/frame/a", [](const Exchange& x) { x.res.set_content(standin::frame_page(x.a, 'a'), kHtml); }},
            {"/frame/b", [](const Exchange& x) { x.res.set_content(standin::frame_page(x.a, 'b'), kHtml); }},
            {"/slow", [&shutdown](const Exchange& x) { serve_slow_page(shutdown, x); }},
            {"/cached", [&counters](const Exchange& x) { serve_cached(counters, x); }},
            {"/status/", serve_status, Route::Match::Prefix},
            {"/redirect", serve_redirect},
            {"/alert", page(standin::alert_page)},
            {"/beforeunload", page(standin::beforeunload_page)},
            {"/downloads", page(standin::downloads_page)},
            {"/files/",
             [&shutdown, &counters](const Exchange& x) {
                 if (!serve_file(shutdown, counters, x))
                     x.res.set_content(standin::generic_page(x.a), kHtml);
             },
             Route::Match::Prefix},
            {"/popup", page(standin::popup_page)},
            {"/popup/target", serve_popup_target},
            {"/login", [&counters](const Exchange& x) { serve_login(counters, x); }},
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
    standin::Server server(options);
    const Router router(page_routes(options, server.shutdown(), server.counters()));
    return server.Run([&router](const std::vector<const Role*>& roles, const httplib::Request& req,
                                const Arrival& a, httplib::Response& res) { router.Serve(roles, req, a, res); });
}
