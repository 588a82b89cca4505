#include "host/curlprobe.h"

#include "host/failurelog.h"
#include "host/lazylibrary.h"
#include "host/proxies.h"
#include "host/proxysetting.h"

#include <QUrl>

#include <curl/curl.h>

#include <memory>
#include <utility>

namespace ostrel::host {
namespace {

// A gateway that takes the connection but never answers must cost the start-up a few seconds, not
// forever; the connect limit is shorter so that an unreachable address does not eat the whole budget.
constexpr long kConnectTimeoutMs = 5000;
constexpr long kTransferTimeoutMs = 10000;
constexpr long kMaxRedirects = 10;

// libcurl, and the TLS, LDAP, SSH and name libraries it brings (some twenty, 5.5 MB, and 10 ms of
// symbol lookups), come when the first probe runs, on its thread: a session without F2 never
// needs them.
struct Curl {
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_strerror) easy_strerror = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
};

// Loaded once, from whichever thread asks first; null when libcurl cannot be loaded. Its global
// state is never torn down: probes may run until the process exits, and curl_global_cleanup would
// race with any that are still going.
const Curl* LoadCurl()
{
    static const Curl curl = [] {
        QLibrary library(QStringLiteral("curl"), 4);
        Curl found;
        decltype(&curl_global_init) globalInit = nullptr;
        if (!Resolve(library, globalInit, "curl_global_init") ||
            !Resolve(library, found.easy_init, "curl_easy_init") ||
            !Resolve(library, found.easy_setopt, "curl_easy_setopt") ||
            !Resolve(library, found.easy_perform, "curl_easy_perform") ||
            !Resolve(library, found.easy_getinfo, "curl_easy_getinfo") ||
            !Resolve(library, found.easy_strerror, "curl_easy_strerror") ||
            !Resolve(library, found.easy_cleanup, "curl_easy_cleanup")) {
            qCWarning(lcFailures, "libcurl: %s", qPrintable(library.errorString()));
            return Curl{};
        }
        globalInit(CURL_GLOBAL_DEFAULT);
        return found;
    }();
    return curl.easy_init ? &curl : nullptr;
}

// Only once LoadCurl has given it.
const Curl& Lib()
{
    return *LoadCurl();
}

struct EasyCleanup {
    void operator()(CURL* handle) const { Lib().easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

struct Transfer {
    CURL* handle = nullptr;
    // Through a proxy: a 407 is followed by the same request with a login (given, or the ticket).
    bool proxyLogin = false;
    bool proxyAsked = false; // the proxy answered 407 on the way
    // Set when this probe itself cut the transfer short because the final status was in; a write
    // error without it is a real failure.
    bool stoppedAtStatus = false;
};

bool IsEndOfHeaders(const char* data, size_t length)
{
    return (length == 2 && data[0] == '\r' && data[1] == '\n') || (length == 1 && data[0] == '\n');
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t length = size * count;
    if (!IsEndOfHeaders(data, length))
        return length;
    long status = 0;
    Lib().easy_getinfo(transfer->handle, CURLINFO_RESPONSE_CODE, &status);
    // An interim 1xx is followed by the real answer, and a 3xx may be a redirect curl is about to
    // follow: in both cases the status that matters is still to come. A 3xx that turns out to be
    // final is caught by OnBody, or ends the transfer normally when it has no body. So may a 407
    // that curl is about to answer with the proxy's login (a refused login comes with its body).
    transfer->proxyAsked = transfer->proxyAsked || status == 407;
    if ((status >= 100 && status < 200) || (status >= 300 && status < 400) ||
        (status == 407 && transfer->proxyLogin))
        return length;
    transfer->stoppedAtStatus = true;
    return 0; // anything but `length` makes curl abort: the body is never fetched
}

// curl hands over only the body of the response it ends on (those of followed redirects are skipped),
// so the first byte here means the final headers are complete.
size_t OnBody(char*, size_t size, size_t count, void* user)
{
    if (size * count == 0)
        return 0;
    static_cast<Transfer*>(user)->stoppedAtStatus = true;
    return 0;
}

} // namespace

CurlProbe::CurlProbe(std::string agent, Proxies& proxies) : agent_(std::move(agent)), proxies_(proxies) {}

int CurlProbe::Probe(const std::string& url)
{
    if (!LoadCurl())
        return kProbeNoResponse;
    EasyHandle easy(Lib().easy_init());
    if (!easy)
        return kProbeNoResponse;
    CURL* handle = easy.get();
    Transfer transfer{handle};

    Lib().easy_setopt(handle, CURLOPT_URL, url.c_str());
    Lib().easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    Lib().easy_setopt(handle, CURLOPT_USERAGENT, agent_.c_str());
    // Only web addresses are probed; a redirect must not lead curl to a file:// or ftp:// answer
    // whose "status" means something else.
    Lib().easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    Lib().easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    Lib().easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    Lib().easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
    // The engine's way: the session's proxy setting for this address (its script run where one
    // decides), loopback direct, and nothing of curl's own reading of the environment
    // (CURLOPT_NOPROXY "" turns off its no_proxy). A proxy that asks for a login gets the one the
    // user gave this session, else the one in the setting, by whichever method it asks for; with
    // neither, the user's Kerberos ticket (Negotiate with an empty login), as the engine answers.
    const ProxyRoute route = proxies_.Route(QUrl(QString::fromStdString(url)));
    const std::string proxy =
        route.direct() ? std::string() : route.address(ProxyRoute::Reader::Curl).toStdString();
    Lib().easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());
    Lib().easy_setopt(handle, CURLOPT_NOPROXY, "");
    std::string proxyUser, proxyPassword;
    const auto login = proxies_.LoginFor(route);
    if (login) {
        proxyUser = login->user.toStdString();
        proxyPassword = login->password.toStdString();
        Lib().easy_setopt(handle, CURLOPT_PROXYUSERNAME, proxyUser.c_str());
        Lib().easy_setopt(handle, CURLOPT_PROXYPASSWORD, proxyPassword.c_str());
        Lib().easy_setopt(handle, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
    } else if (!route.direct()) {
        Lib().easy_setopt(handle, CURLOPT_PROXYUSERPWD, ":");
        // ONLY: a ticket is asked for and sent once the proxy wants it, not on the first request.
        Lib().easy_setopt(handle, CURLOPT_PROXYAUTH, CURLAUTH_NEGOTIATE | CURLAUTH_ONLY);
    }
    transfer.proxyLogin = !route.direct();
    // Through a proxy tunnel the proxy's own "200 Connection established" must not pass for the
    // gateway's answer in OnHeaderLine.
    Lib().easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    Lib().easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    Lib().easy_setopt(handle, CURLOPT_TIMEOUT_MS, kTransferTimeoutMs);
    // Timeouts by signal would hit whichever of Qt's threads the signal lands on.
    Lib().easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // The defaults would print a progress meter or the body on the program's own stdout.
    Lib().easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    Lib().easy_setopt(handle, CURLOPT_VERBOSE, 0L);
    Lib().easy_setopt(handle, CURLOPT_HEADERFUNCTION, &OnHeaderLine);
    Lib().easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    Lib().easy_setopt(handle, CURLOPT_WRITEFUNCTION, &OnBody);
    Lib().easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);

    const CURLcode result = Lib().easy_perform(handle);
    const bool answered = result == CURLE_OK || (result == CURLE_WRITE_ERROR && transfer.stoppedAtStatus);
    if (!answered) {
        qCWarning(lcFailures, "no answer from %s: %s", url.c_str(), Lib().easy_strerror(result));
        return kProbeNoResponse;
    }
    long status = 0;
    if (Lib().easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK)
        return kProbeStatusUnreadable;
    if (transfer.proxyAsked && status != 407) // the proxy asked for a login, and took it
        proxies_.NoteLogin(route.host, login ? ProxyLoginKind::Password : ProxyLoginKind::Kerberos);
    // HTTP's codes start at 100: a status line with "000" is no HTTP answer. Older curl refuses
    // it, newer curl (Debian 13's) hands on 0; what the server sent decides either way.
    if (status < 100) {
        qCWarning(lcFailures, "no HTTP answer from %s: status %ld", url.c_str(), status);
        return kProbeNoResponse;
    }
    return static_cast<int>(status);
}

namespace {
size_t KeepScript(char* data, size_t size, size_t count, void* user)
{
    constexpr size_t kMaxScript = 1 << 20;
    auto* script = static_cast<QByteArray*>(user);
    const size_t length = size * count;
    if (static_cast<size_t>(script->size()) + length > kMaxScript)
        return 0;
    script->append(data, static_cast<qsizetype>(length));
    return length;
}
} // namespace

std::optional<QByteArray> FetchProxyScript(const QUrl& url)
{
    if (!LoadCurl())
        return std::nullopt;
    EasyHandle easy(Lib().easy_init());
    if (!easy)
        return std::nullopt;
    CURL* handle = easy.get();
    QByteArray script;
    const QByteArray address = url.toEncoded();
    Lib().easy_setopt(handle, CURLOPT_URL, address.constData());
    Lib().easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https,file");
    Lib().easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    Lib().easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    Lib().easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
    Lib().easy_setopt(handle, CURLOPT_PROXY, ""); // a proxy's script is fetched directly
    Lib().easy_setopt(handle, CURLOPT_NOPROXY, "*");
    Lib().easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    Lib().easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    Lib().easy_setopt(handle, CURLOPT_TIMEOUT_MS, kTransferTimeoutMs);
    Lib().easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    Lib().easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    Lib().easy_setopt(handle, CURLOPT_WRITEFUNCTION, &KeepScript);
    Lib().easy_setopt(handle, CURLOPT_WRITEDATA, &script);
    if (const CURLcode result = Lib().easy_perform(handle); result != CURLE_OK) {
        qCWarning(lcFailures, "no proxy script from %s: %s", address.constData(), Lib().easy_strerror(result));
        return std::nullopt;
    }
    return script;
}

} // namespace ostrel::host
