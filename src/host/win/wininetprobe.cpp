#include "host/win/wininetprobe.h"

#include <windows.h>
#include <wininet.h>

#include <charconv>
#include <memory>
#include <string>

namespace ostrel::host {

namespace {
struct HandleCloser {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

constexpr DWORD kConnectTimeoutMs = 5000;
constexpr DWORD kAnswerTimeoutMs = 10000;
constexpr DWORD kStatusBufferSize = 513;
} // namespace

int WinInetProbe::Probe(const std::string& url)
{
    const Handle internet(InternetOpenA(agent_.c_str(), INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY, nullptr, nullptr, 0));
    if (!internet)
        return kProbeNoResponse;

    char host[256] = {};
    char path[2048] = {};
    char query[2048] = {};
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    parts.lpszExtraInfo = query;
    parts.dwExtraInfoLength = sizeof query;
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts))
        return kProbeNoResponse;
    const std::string target = std::string(path) + query;

    // InternetOpenUrlA would block for minutes on a server that never answers: its session handle
    // ignores time-outs. A request handle honours them, so the request is made in steps.
    const Handle connection(InternetConnectA(internet.get(), host, parts.nPort, nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
        return kProbeNoResponse;
    DWORD flags = INTERNET_FLAG_NO_UI | INTERNET_FLAG_RELOAD;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS)
        flags |= INTERNET_FLAG_SECURE;
    const Handle request(HttpOpenRequestA(connection.get(), "GET", target.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (!request)
        return kProbeNoResponse;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD timeout = option == INTERNET_OPTION_CONNECT_TIMEOUT ? kConnectTimeoutMs : kAnswerTimeoutMs;
        InternetSetOptionA(request.get(), option, &timeout, sizeof timeout);
    }
    if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0))
        return kProbeNoResponse;

    char status[kStatusBufferSize] = {};
    DWORD length = sizeof status;
    DWORD index = 0;
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE, status, &length, &index))
        return kProbeStatusUnreadable;
    // A status that is not a decimal number is a gateway that failed, not an error for the user.
    const std::string_view text(status, strnlen(status, sizeof status));
    int code = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (error != std::errc() || end != text.data() + text.size())
        return kProbeStatusUnreadable;
    return code;
}

} // namespace ostrel::host
