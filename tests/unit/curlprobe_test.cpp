// The gateway probe against real servers on the loopback interface: what status it reports, what it
// sends, and that it neither downloads bodies nor waits on a server forever.
#include "host/curlprobe.h"

#include "host/proxies.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace ostrel::host {
namespace {

constexpr char kAgent[] = "Ostrel Web";

// The probes must reach the servers below directly, whatever proxy the machine running the tests
// is set up with; the proxy test sets its own.
constexpr const char* kProxyVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                           "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};

class NoProxyEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        for (const char* name : kProxyVariables)
            unsetenv(name);
    }
};
const auto* const kNoProxy = ::testing::AddGlobalTestEnvironment(new NoProxyEnvironment);

// Reads up to the blank line that ends a request's head; GETs carry no body. Empty when the peer
// went away (or the server is being stopped) first.
std::string ReadRequestHead(int fd)
{
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return {};
        head.append(buffer, size_t(got));
    }
    return head;
}

bool SendAll(int fd, const std::string& data)
{
    size_t sent = 0;
    while (sent < data.size()) {
        // MSG_NOSIGNAL: a client that hangs up must fail the send, not kill the test with SIGPIPE.
        const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

// Returns once the client has closed its end (or the server is stopped), discarding what it sends.
void WaitForHangUp(int fd)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EINTR))
            return;
    }
}

// "GET /path HTTP/1.1" -> "/path".
std::string RequestTarget(const std::string& head)
{
    const size_t start = head.find(' ');
    const size_t end = head.find(' ', start + 1);
    if (start == std::string::npos || end == std::string::npos)
        return {};
    return head.substr(start + 1, end - start - 1);
}

// The value of a header in a request head, matching its name case-insensitively.
std::optional<std::string> HeaderValue(const std::string& head, const std::string& name)
{
    size_t lineStart = head.find("\r\n");
    while (lineStart != std::string::npos) {
        lineStart += 2;
        const size_t lineEnd = head.find("\r\n", lineStart);
        if (lineEnd == std::string::npos || lineEnd == lineStart)
            return std::nullopt;
        const std::string line = head.substr(lineStart, lineEnd - lineStart);
        const size_t colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.c_str(), name.c_str(), name.size()) == 0) {
            const size_t valueStart = line.find_first_not_of(' ', colon + 1);
            return valueStart == std::string::npos ? std::string() : line.substr(valueStart);
        }
        lineStart = lineEnd;
    }
    return std::nullopt;
}

std::string Response(int status, const std::string& extraHeaders = {}, const std::string& body = {})
{
    return "HTTP/1.1 " + std::to_string(status) +
           " Status\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n" +
           extraHeaders + "\r\n" + body;
}

// A TCP server on 127.0.0.1 with an ephemeral port, handling one connection at a time on its own
// thread. The handler gets the connected socket; the server closes it when the handler returns.
// Destroying the server shuts down the listening socket and any connection in progress, so a
// handler blocked on a silent or stuck client wakes up and the thread can be joined.
class LoopbackServer {
public:
    using Handler = std::function<void(int fd)>;

    explicit LoopbackServer(Handler handler) : handler_(std::move(handler))
    {
        listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listenFd_ < 0)
            throw std::runtime_error("socket failed");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof address;
        if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listenFd_, 16) != 0 ||
            getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            close(listenFd_);
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }

    ~LoopbackServer()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            if (connectionFd_ >= 0)
                shutdown(connectionFd_, SHUT_RDWR);
        }
        shutdown(listenFd_, SHUT_RDWR);
        thread_.join();
        close(listenFd_);
    }

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    std::string Url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    void Run()
    {
        for (;;) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                return; // the listening socket was shut down
            }
            {
                std::lock_guard lock(mutex_);
                if (stopping_) {
                    close(fd);
                    return;
                }
                connectionFd_ = fd;
            }
            handler_(fd);
            {
                std::lock_guard lock(mutex_);
                connectionFd_ = -1;
            }
            close(fd);
        }
    }

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    bool stopping_ = false;
    int connectionFd_ = -1;
    std::thread thread_;
};

// A server that answers every request with the response the callback builds from the request head,
// and keeps the heads it received.
class HttpServer {
public:
    using Responder = std::function<std::string(const std::string& head)>;

    explicit HttpServer(Responder responder)
        : responder_(std::move(responder)), server_([this](int fd) { Handle(fd); })
    {
    }

    std::string Url(const std::string& path) const { return server_.Url(path); }
    int port() const { return server_.port(); }

    std::vector<std::string> Requests()
    {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void Handle(int fd)
    {
        const std::string head = ReadRequestHead(fd);
        if (head.empty())
            return;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(head);
        }
        SendAll(fd, responder_(head));
    }

    Responder responder_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    LoopbackServer server_; // last: its thread calls Handle, which uses the members above
};

// The session's proxies as the program makes them at start: the variables as the test set them.
struct SessionProxies : Proxies {
    SessionProxies() : Proxies(ReadProxySetting(), &FetchProxyScript) {}
};

int ProbeOnce(const std::string& url, Proxies&& proxies = SessionProxies())
{
    CurlProbe probe(kAgent, proxies);
    return probe.Probe(url);
}

// A port on 127.0.0.1 that nothing listens on: one the system just handed out and took back.
int ClosedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// Sets an environment variable for one test and takes it away again.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) { setenv(name, value.c_str(), 1); }
    ~ScopedEnv() { unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
};

TEST(CurlProbeStatus, reportsTheStatusTheServerAnswers)
{
    for (int status : {200, 204, 404, 503}) {
        HttpServer server([status](const std::string&) { return Response(status, {}, "page"); });
        EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), status) << "answered " << status;
    }
}

TEST(CurlProbeStatus, aStatusWithoutReasonPhraseIsStillRead)
{
    HttpServer server(
        [](const std::string&) { return std::string("HTTP/1.1 200\r\nContent-Length: 0\r\n\r\n"); });
    EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), 200);
}

TEST(CurlProbeStatus, aResponseWithoutContentLengthEndedByCloseIsRead)
{
    HttpServer server([](const std::string&) { return std::string("HTTP/1.0 200 OK\r\n\r\nsome page"); });
    EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), 200);
}

TEST(CurlProbeStatus, anInterimContinueIsSkippedForTheRealAnswer)
{
    HttpServer server(
        [](const std::string&) { return "HTTP/1.1 100 Continue\r\n\r\n" + Response(503, {}, "busy"); });
    EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), 503);
}

TEST(CurlProbeRedirects, reportsTheStatusAtTheEndOfARedirect)
{
    HttpServer server([](const std::string& head) {
        const std::string target = RequestTarget(head);
        if (target == "/vpn/index.html")
            return Response(302, "Location: /landing/ok\r\n", "moved");
        if (target == "/landing/ok")
            return Response(200, {}, "welcome");
        return Response(404);
    });
    EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), 200);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(RequestTarget(requests[1]), "/landing/ok");
}

TEST(CurlProbeRedirects, aRedirectToAFailingPageReportsThatFailure)
{
    HttpServer server([](const std::string& head) {
        if (RequestTarget(head) == "/vpn/index.html")
            return Response(302, "Location: /maintenance\r\n");
        return Response(503, {}, "down for maintenance");
    });
    EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), 503);
}

TEST(CurlProbeRedirects, followsAChainAcrossServers)
{
    HttpServer last([](const std::string&) { return Response(200, {}, "portal"); });
    HttpServer middle(
        [&](const std::string&) { return Response(301, "Location: " + last.Url("/p") + "\r\n"); });
    HttpServer first(
        [&](const std::string&) { return Response(307, "Location: " + middle.Url("/m") + "\r\n"); });
    EXPECT_EQ(ProbeOnce(first.Url("/vpn/index.html")), 200);
}

// A redirect loop never reaches a final answer, so there is nothing to report but the failure.
TEST(CurlProbeRedirects, anEndlessRedirectLoopIsNoResponse)
{
    HttpServer server([](const std::string&) { return Response(302, "Location: /vpn/index.html\r\n"); });
    EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), kProbeNoResponse);
    const auto requests = server.Requests();
    EXPECT_GE(requests.size(), 2u);
    EXPECT_LE(requests.size(), 20u);
}

// A 3xx with nowhere to go is the final answer.
TEST(CurlProbeRedirects, aRedirectStatusWithoutLocationIsReportedAsIs)
{
    HttpServer server([](const std::string&) { return Response(302, {}, "no location given"); });
    EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), 302);
}

TEST(CurlProbeRequest, sendsAGetForTheAddressWithTheAgentGiven)
{
    HttpServer server([](const std::string&) { return Response(200); });
    SessionProxies proxies;
    CurlProbe probe("Ostrel Web", proxies);
    ASSERT_EQ(probe.Probe(server.Url("/vpn/index.html")), 200);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), "GET /vpn/index.html HTTP/1.1");
    EXPECT_EQ(HeaderValue(requests[0], "User-Agent"), "Ostrel Web");
}

TEST(CurlProbeRequest, eachProbeUsesItsOwnAgent)
{
    HttpServer server([](const std::string&) { return Response(200); });
    SessionProxies proxies;
    CurlProbe first("First Agent/1.0", proxies);
    CurlProbe second("Second Agent/2.0", proxies);
    ASSERT_EQ(first.Probe(server.Url("/a")), 200);
    ASSERT_EQ(second.Probe(server.Url("/b")), 200);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(HeaderValue(requests[0], "User-Agent"), "First Agent/1.0");
    EXPECT_EQ(HeaderValue(requests[1], "User-Agent"), "Second Agent/2.0");
}

TEST(CurlProbeRequest, goesThroughTheProxyNamedInTheEnvironment)
{
    HttpServer proxy([](const std::string&) { return Response(200, {}, "from the proxy"); });
    ScopedEnv setting("http_proxy", proxy.Url(""));
    // gateway.invalid cannot resolve: only the proxy can have answered.
    EXPECT_EQ(ProbeOnce("http://gateway.invalid/vpn/index.html"), 200);
    const auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(RequestTarget(requests[0]), "http://gateway.invalid/vpn/index.html");
    EXPECT_EQ(HeaderValue(requests[0], "User-Agent"), kAgent);
}

TEST(CurlProbeRequest, aProxyTunnelsOwnAnswerDoesNotPassForTheGateways)
{
    // The proxy accepts the tunnel, then the far end turns out not to speak TLS: the gateway never
    // answered, whatever the proxy's "200" said.
    std::string connectLine;
    {
        LoopbackServer proxy([&](int fd) {
            const std::string head = ReadRequestHead(fd);
            connectLine = head.substr(0, head.find("\r\n"));
            if (!SendAll(fd, "HTTP/1.1 200 Connection established\r\n\r\n"))
                return;
            char buffer[4096];
            if (recv(fd, buffer, sizeof buffer, 0) > 0)
                SendAll(fd, "not a TLS server hello\r\n");
        });
        ScopedEnv setting("https_proxy", proxy.Url(""));
        EXPECT_EQ(ProbeOnce("https://gateway.invalid/vpn/index.html"), kProbeNoResponse);
    } // read what the proxy saw only once its thread is done
    EXPECT_EQ(connectLine, "CONNECT gateway.invalid:443 HTTP/1.1");
}

TEST(CurlProbeRequest, addressesExemptedByNoProxyAreReachedDirectly)
{
    HttpServer proxy([](const std::string&) { return Response(502); });
    HttpServer gateway([](const std::string&) { return Response(200); });
    ScopedEnv setting("http_proxy", proxy.Url(""));
    ScopedEnv exemption("no_proxy", "127.0.0.1");
    EXPECT_EQ(ProbeOnce(gateway.Url("/vpn/index.html")), 200);
    EXPECT_TRUE(proxy.Requests().empty());
}

// The engine's way and the probe's are one: loopback direct whatever the proxy setting says, and a
// proxy's login (from the setting, or given by the user this session) by whichever method the
// proxy asks for.
TEST(CurlProbeRequest, takesTheEnginesWayAndTheProxysLoginByAnyMethod)
{
    struct Case {
        const char* what;
        std::string challenge; // the proxy's 407 header; empty: no login asked
        std::string accepted;  // the start of the Proxy-Authorization the proxy takes
        bool inSetting;        // the login sits in http_proxy, else the user gave it this session
        int status = 200;
    };
    const Case cases[] = {
        {"Basic, login in the setting", "Basic realm=\"kantoor\"", "Basic YWdlbnQ6Z2VoZWlt", true},
        {"Digest, login in the setting", "Digest realm=\"kantoor\", nonce=\"abc\", qop=\"auth\"",
         "Digest username=\"agent\"", true},
        {"Digest, login given this session", "Digest realm=\"kantoor\", nonce=\"abc\", qop=\"auth\"",
         "Digest username=\"agent\"", false},
        {"a login the proxy refuses", "Basic realm=\"kantoor\"", "Basic bm9ib2R5", true, 407},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HttpServer proxy([&](const std::string& head) {
            const auto sent = HeaderValue(head, "Proxy-Authorization");
            if (sent && sent->rfind(c.accepted, 0) == 0)
                return Response(200);
            return Response(407, "Proxy-Authenticate: " + c.challenge + "\r\n");
        });
        const std::string hostPort = "127.0.0.1:" + std::to_string(proxy.port());
        ScopedEnv setting("http_proxy", (c.inSetting ? "http://agent:geheim@" : "http://") + hostPort);
        SessionProxies proxies;
        if (!c.inSetting)
            proxies.Remember(QStringLiteral("127.0.0.1"), {QStringLiteral("agent"), QStringLiteral("geheim")});
        EXPECT_EQ(ProbeOnce("http://gateway.invalid/vpn/index.html", std::move(proxies)), c.status);
    }

    HttpServer proxy([](const std::string&) { return Response(502); });
    HttpServer gateway([](const std::string&) { return Response(200); });
    ScopedEnv setting("http_proxy", proxy.Url(""));
    for (const std::string& loopback :
         {gateway.Url("/"), "http://localhost:" + std::to_string(gateway.port()) + "/"}) {
        SCOPED_TRACE(loopback);
        EXPECT_EQ(ProbeOnce(loopback), 200);
    }
    EXPECT_TRUE(proxy.Requests().empty());
}

TEST(CurlProbeRequest, probesFromSeveralThreadsAtOnce)
{
    HttpServer server([](const std::string&) { return Response(200); });
    SessionProxies proxies;
    CurlProbe probe(kAgent, proxies);
    std::vector<int> results(4, 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&, i] { results[i] = probe.Probe(server.Url("/vpn/index.html")); });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(results, std::vector<int>(4, 200));
    EXPECT_EQ(server.Requests().size(), 4u);
}

TEST(CurlProbeNoResponse, aRefusedConnectionIsNoResponse)
{
    EXPECT_EQ(ProbeOnce("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/vpn/index.html"),
              kProbeNoResponse);
}

TEST(CurlProbeNoResponse, anUnresolvableHostIsNoResponse)
{
    EXPECT_EQ(ProbeOnce("http://nonexistent.invalid/vpn/index.html"), kProbeNoResponse);
}

// Only web addresses are probed; a local file "answers" without any status.
TEST(CurlProbeNoResponse, anAddressThatIsNotWebIsNoResponse)
{
    EXPECT_EQ(ProbeOnce("file:///etc/hostname"), kProbeNoResponse);
}

TEST(CurlProbeNoResponse, aConnectionClosedWithoutAReplyIsNoResponse)
{
    LoopbackServer server([](int fd) { ReadRequestHead(fd); });
    EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), kProbeNoResponse);
}

TEST(CurlProbeNoResponse, aConnectionResetBeforeTheStatusLineIsNoResponse)
{
    LoopbackServer server([](int fd) {
        ReadRequestHead(fd);
        // Linger with a zero timeout turns the server's close into a reset.
        const linger abort{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    });
    EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), kProbeNoResponse);
}

// Something that does not speak HTTP is not a gateway answering: curl takes a reply without a status
// line for HTTP/0.9, which it refuses, so nothing came that has a status to report.
TEST(CurlProbeNoResponse, aReplyThatIsNotHttpIsNoResponse)
{
    for (const char* reply :
         {"garbage instead of a status line\r\n\r\n", "SSH-2.0-OpenSSH_9.2\r\n",
          "HTTP/1.1 abc Nonsense\r\n\r\n", "HTTP/1.1 000 Zero\r\nContent-Length: 0\r\n\r\n"}) {
        HttpServer server([reply](const std::string&) { return std::string(reply); });
        EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), kProbeNoResponse) << reply;
    }
}

TEST(CurlProbeNoResponse, aFailedTlsHandshakeIsNoResponse)
{
    // A plain HTTP server on the https address: it answers the ClientHello with an HTTP error, and
    // that status must not pass for the gateway's.
    LoopbackServer server([](int fd) {
        char buffer[4096];
        if (recv(fd, buffer, sizeof buffer, 0) > 0)
            SendAll(fd, Response(400, {}, "this is not TLS"));
    });
    EXPECT_EQ(ProbeOnce("https://127.0.0.1:" + std::to_string(server.port()) + "/vpn/index.html"),
              kProbeNoResponse);
}

// Both kinds of stuck server are probed at once so that the suite waits out the probe's limit once.
TEST(CurlProbeNoResponse, aServerThatStopsAnsweringFailsInBoundedTime)
{
    std::atomic<bool> accepted = false;
    LoopbackServer silent([&](int fd) {
        accepted = true;
        WaitForHangUp(fd);
    });
    LoopbackServer stuckInHeaders([](int fd) {
        ReadRequestHead(fd);
        SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n");
        WaitForHangUp(fd);
    });
    const auto start = std::chrono::steady_clock::now();
    int silentResult = 0;
    std::thread other([&] { silentResult = ProbeOnce(silent.Url("/vpn/index.html")); });
    const int stuckResult = ProbeOnce(stuckInHeaders.Url("/vpn/index.html"));
    other.join();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(silentResult, kProbeNoResponse);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(stuckResult, kProbeNoResponse);
    EXPECT_LT(elapsed, std::chrono::seconds(15)); // the probe's own limit is 10 s
}

TEST(CurlProbeBody, theStatusIsReportedOnceTheHeadersAreInEvenIfTheBodyNeverComes)
{
    LoopbackServer server([](int fd) {
        ReadRequestHead(fd);
        SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        WaitForHangUp(fd);
    });
    EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), 200);
}

TEST(CurlProbeBody, aHugeBodyIsNotDownloaded)
{
    // The server claims a terabyte and pushes it as fast as the client takes it. A client that read
    // the body would pull gigabytes within its ten seconds; one that stops at the status leaves the
    // server stuck once the socket buffers (a few megabytes) are full, until the hang-up fails its send.
    constexpr std::uint64_t kClaimed = std::uint64_t(1) << 40;
    constexpr std::uint64_t kBuffersAtMost = std::uint64_t(64) << 20;
    std::atomic<std::uint64_t> bodySent = 0;
    {
        LoopbackServer server([&](int fd) {
            ReadRequestHead(fd);
            if (!SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kClaimed) + "\r\n\r\n"))
                return;
            const std::string chunk(64 * 1024, 'x');
            while (bodySent < kClaimed && SendAll(fd, chunk))
                bodySent += chunk.size();
        });
        EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), 200);
    } // stopping the server ends its sending even if the client had not hung up
    EXPECT_LT(bodySent.load(), kBuffersAtMost);
}

TEST(CurlProbeBody, theBodyOfANonSuccessAnswerIsNotDownloadedEither)
{
    constexpr std::uint64_t kBuffersAtMost = std::uint64_t(64) << 20;
    std::atomic<std::uint64_t> bodySent = 0;
    {
        // Chunked with no end: the only way out for the client is to stop reading.
        LoopbackServer server([&](int fd) {
            ReadRequestHead(fd);
            if (!SendAll(fd, "HTTP/1.1 503 Busy\r\nTransfer-Encoding: chunked\r\n\r\n"))
                return;
            const std::string chunk = "10000\r\n" + std::string(0x10000, 'y') + "\r\n";
            while (bodySent < (std::uint64_t(1) << 40) && SendAll(fd, chunk))
                bodySent += chunk.size();
        });
        EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), 503);
    }
    EXPECT_LT(bodySent.load(), kBuffersAtMost);
}

TEST(CurlProbeBody, theBodyOfAFinalRedirectStatusIsNotDownloaded)
{
    constexpr std::uint64_t kBuffersAtMost = std::uint64_t(64) << 20;
    std::atomic<std::uint64_t> bodySent = 0;
    {
        LoopbackServer server([&](int fd) {
            ReadRequestHead(fd);
            if (!SendAll(fd, "HTTP/1.1 300 Choices\r\nContent-Length: 1099511627776\r\n\r\n"))
                return;
            const std::string chunk(64 * 1024, 'z');
            while (bodySent < (std::uint64_t(1) << 40) && SendAll(fd, chunk))
                bodySent += chunk.size();
        });
        EXPECT_EQ(ProbeOnce(server.Url("/vpn/index.html")), 300);
    }
    EXPECT_LT(bodySent.load(), kBuffersAtMost);
}

} // namespace
} // namespace ostrel::host
