#include "files.h"

#include "downloadpattern.h"

#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <utility>

namespace standin {

namespace {

using downloads::kBrokenBin;
using downloads::kBrokenBinCut;
using downloads::kPatternPeriod;
using downloads::kPolicyPdf;
using downloads::kSlowBin;
using downloads::kUnknownBin;

// The pieces most files go out in.
constexpr std::size_t kChunkSize = 16u << 10;
constexpr long kSlowBinDefaultMs = 10000;
constexpr long kSlowBinCapMs = 60000;
constexpr long kBigBinDefaultKb = 1024;
constexpr long kBigBinCapKb = 204800;
constexpr std::size_t kNamedSize = 1024;
// big.bin goes out in larger pieces than the rest: it is about speed, not about pieces.
constexpr std::size_t kBigPieceSize = 64u << 10;

// Files of a few bytes, each application/x-ica whatever it holds.
struct IcaFile {
    std::string_view name;
    std::string_view body;
    bool attachment = true; // with a Content-Disposition that names it
};
constexpr std::string_view kLaunchFile = "[ApplicationServers]\r\nOstrel=\r\n";
constexpr std::string_view kShellScript = "#!/bin/sh\necho owned\n";
constexpr IcaFile kIcaFiles[] = {
    {"launch.ica", kLaunchFile},
    // As Windows tools write text: a byte-order mark first.
    {"bom.ica", "\xEF\xBB\xBF[ApplicationServers]\r\nOstrel=\r\n"},
    // A gateway's launch page: a launch file by its type alone, with no name of its own.
    {"launcher.aspx", kLaunchFile, false},
    // Named as a launch file or a script, a shell script inside: the name decides nothing.
    {"evil.ica", kShellScript},
    {"script.sh", kShellScript},
    {"evil.desktop", "[Desktop Entry]\nType=Application\nName=Evil\nExec=sh -c 'echo owned'\n"},
    {"page.html", "<html><body>owned</body></html>\n"},
    {"noext", kLaunchFile},
    // A client settings file, not a launch file, though it comes as one.
    {"wfclient.ica", "[WFClient]\r\nVersion=2\r\n\r\n[ApplicationServers]\r\nDesktop=\r\n\r\n"
                     "[Desktop]\r\nAddress=127.0.0.1:1494\r\nInitialProgram=#Desktop\r\n"},
};

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
        std::string("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R ") +
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
    ForEachSocket([&](int fd) {
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

} // namespace

Files::Files(Shutdown& shutdown, std::atomic<unsigned long long>& broken_served)
    : shutdown_(shutdown), broken_served_(broken_served),
      pattern_(downloads::PatternBytes<std::string>(
          std::max({kPolicyPdf.size, kUnknownBin.size, kBrokenBin.size}))),
      pdf_(minimal_pdf())
{
}

std::vector<Route> Files::Routes() const
{
    const auto file = [](std::string_view name) { return "/files/" + std::string(name); };
    std::vector<Route> t = {
        {kPolicyPdf.path,
         [this](const Exchange& x) {
             attachment(x.res, kPolicyPdf.name);
             x.res.set_content(pattern_.data(), kPolicyPdf.size, "application/pdf");
         }},
        // Shown inline: the browser's own PDF viewer opens it.
        {file("conditions.pdf"), [this](const Exchange& x) { x.res.set_content(pdf_, "application/pdf"); }},
        {file("named"), [this](const Exchange& x) { serve_named(x); }},
        {kBrokenBin.path, [this](const Exchange& x) { serve_broken(x); }},
        {kSlowBin.path, [this](const Exchange& x) { serve_slow(x); }},
        {file("big.bin"),
         [this](const Exchange& x) {
             attachment(x.res, "big.bin");
             const long kb = std::max(1L, x.query_number("kb", kBigBinDefaultKb, kBigBinCapKb));
             serve_pattern(x, static_cast<std::size_t>(kb) << 10, x.query_number("ms", 0, kSlowBinCapMs),
                           kBigPieceSize);
         }},
        {kUnknownBin.path, [this](const Exchange& x) { serve_unknown(x); }},
    };
    for (const IcaFile& f : kIcaFiles)
        t.push_back({file(f.name), [f](const Exchange& x) {
                         if (f.attachment)
                             attachment(x.res, f.name);
                         x.res.set_content(f.body.data(), f.body.size(), "application/x-ica");
                     }});
    return t;
}

// It repeats every kPatternPeriod bytes, so the bytes built once serve any offset.
const char* Files::pattern_from(std::size_t offset) const
{
    static_assert(kBigPieceSize + kPatternPeriod <= kPolicyPdf.size);
    return pattern_.data() + offset % kPatternPeriod;
}

// The pattern bytes of a file of `size` bytes in pieces of `piece` bytes: as fast as the client
// takes them, or, with `ms` above 0, at an even pace, the first piece at once and the last `ms`
// after it. The library asks for the rest from `offset` on (also for a Range), until `size` is
// reached.
void Files::serve_pattern(const Exchange& x, std::size_t size, long ms, std::size_t piece) const
{
    if (refuse_range_beyond(x.req, size, x.res))
        return;
    const long long pieces = std::max<long long>(2, static_cast<long long>(size / piece));
    x.res.set_content_provider(
        size, "application/octet-stream",
        [this, ms, piece, pieces, start = std::chrono::steady_clock::time_point(),
         sent = 0LL](std::size_t offset, std::size_t length, httplib::DataSink& sink) mutable {
            if (sent == 0)
                start = std::chrono::steady_clock::now();
            const auto due = start + std::chrono::microseconds(ms * 1000LL * sent / (pieces - 1));
            // Shutdown ends the answer here, unfinished, instead of holding up the exit.
            if (ms > 0 && shutdown_.wait_until(due))
                return false;
            ++sent;
            return sink.write(pattern_from(offset), std::min(length, piece));
        });
}

// /files/named: a download whose name is whatever the query says, control characters and all,
// sent the one way a header can carry any bytes (RFC 5987); a plain name first for clients that
// know no other.
void Files::serve_named(const Exchange& x) const
{
    std::string name;
    if (!form_value(x.a.query, "name", name) || name.empty())
        return x.refuse(400, "/files/named needs ?name=NAME");
    std::string type;
    if (!form_value(x.a.query, "type", type) || type.empty())
        type = "application/octet-stream";
    // The library would silently drop such a header and send the file without a type.
    if (type.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        return x.refuse(400, "type contains CR, LF or NUL");
    x.res.set_header("Content-Disposition",
                     "attachment; filename=\"download.bin\"; filename*=UTF-8''" + percent_encode(name));
    if (!refuse_range_beyond(x.req, kNamedSize, x.res))
        x.res.set_content(pattern_.data(), kNamedSize, type);
}

// /files/broken.bin, for a download that fails half-way and is tried again: every other request
// (the first, the third, ...) loses its connection after part of the body, the others get the
// whole file, or the Range asked for. HEAD requests carry no body and do not count.
void Files::serve_broken(const Exchange& x) const
{
    const httplib::Request& req = x.req;
    httplib::Response& res = x.res;
    attachment(res, kBrokenBin.name);
    // The bytes never change. Without a validator Chromium restarts an interrupted download from
    // the start; with one it resumes with a Range (and If-Range, which can only match).
    res.set_header("ETag", "\"broken-bin-" + std::to_string(kBrokenBin.size) + "\"");
    if (refuse_range_beyond(req, kBrokenBin.size, res))
        return;
    const bool cut = req.method != "HEAD" && ++broken_served_ % 2 == 1;
    if (!cut) {
        // The status is left to the library: it answers 206 with Content-Range for a Range only
        // when the handler has set no status of its own.
        res.set_content(pattern_.data(), kBrokenBin.size, "application/octet-stream");
        return;
    }
    auto cut_short = [this, fd = connection_socket(req), sent = std::size_t{0}](
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
    res.set_content_provider(kBrokenBin.size, "application/octet-stream", std::move(cut_short));
}

// Ends the connection with a reset once what was written has reached the client. A connection that
// just closes early is a short body that Chromium fetches again at once by itself, so the user
// would never see the download fail; a reset is a network failure that waits for the user.
void Files::reset_connection(int fd) const
{
    // The reset throws away whatever is still queued. A client that stops reading gets the reset
    // all the same, 2 s on.
    for (int i = 0; i < 400; ++i) {
        int queued = 0;
        if (ioctl(fd, SIOCOUTQ, &queued) != 0 || queued == 0)
            break;
        if (shutdown_.wait_for(std::chrono::milliseconds(5)))
            return;
    }
    // Dissolving the association aborts a TCP connection with a reset and leaves the descriptor to
    // the library, which closes it as usual. Closing with SO_LINGER 0 would not do: the library
    // shuts the socket down first, which sends an orderly end before the reset.
    sockaddr unspecified{};
    unspecified.sa_family = AF_UNSPEC;
    (void)connect(fd, &unspecified, sizeof unspecified); // the reset is all there is to it
}

// /files/slow.bin: the pieces go out at an even pace, the first at once and the last `ms` after it.
void Files::serve_slow(const Exchange& x) const
{
    attachment(x.res, kSlowBin.name);
    serve_pattern(x, kSlowBin.size, x.query_number("ms", kSlowBinDefaultMs, kSlowBinCapMs), kChunkSize);
}

// Chunked, so the browser cannot know the size in advance: the download has to cope without a
// Content-Length.
void Files::serve_unknown(const Exchange& x) const
{
    attachment(x.res, kUnknownBin.name);
    x.res.set_chunked_content_provider(
        "application/octet-stream", [this](std::size_t offset, httplib::DataSink& sink) {
            const std::size_t n = std::min(kChunkSize, kUnknownBin.size - offset);
            if (n && !sink.write(pattern_.data() + offset, n))
                return false;
            if (offset + n >= kUnknownBin.size)
                sink.done();
            return true;
        });
}

} // namespace standin
