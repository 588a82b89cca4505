// Our own pages for a page that fails. One that could not be reached (its server, or the proxy on
// the way) shows, instead of the engine's own (English) page, what went wrong in one sentence, the
// address, and "Opnieuw proberen"; one whose certificate is refused says who could be listening, and offers
// no way on; one whose renderer kept crashing says so.
#pragma once

#include <QString>
#include <QUrl>

#include <optional>

class QWebEngineLoadingInfo;

namespace ostrel::web {

enum class Unreachable {
    NoNetwork,
    NameNotFound,
    Refused,
    TimedOut,
    Failed,
    ProxyUnreachable,    // the proxy does not take the connection
    ProxyFailed,         // the proxy could not reach the server, or its setting is unusable
    ProxyLoginCancelled, // the proxy wants a login that was not given
    ProxyLoginRefused,   // the proxy refused every login given
    NoNetworkLogin,      // the proxy wants the computer's own login (Kerberos), and it has none
    NoCertificate        // the server wants a certificate of the user's and got none it takes
};

// Why a failed load did not reach its server, or nothing for any other failure. A proxy's refusal
// (its 407) is ProxyLoginCancelled: only the page knows whether the user gave up (webpage.h).
std::optional<Unreachable> UnreachableBecause(const QWebEngineLoadingInfo& info);

// A failure that the network coming back may mend.
bool ForWantOfNetwork(Unreachable why);
// A failure of the proxy on the way, which the page names.
bool OfTheProxy(Unreachable why);

// The page; its button navigates to the kRetryScheme address, which the page never loads. proxy:
// "host:port" of the proxy on the way, named in the page when the failure is the proxy's.
QString ErrorPageHtml(Unreachable why, const QUrl& address, const QString& proxy = {});
inline constexpr char kRetryScheme[] = "ostrel-retry";

// The page for a load refused for its server's certificate (the load's error code is one of the
// engine's certificate errors), or nothing for any other failure.
std::optional<QString> CertificatePageHtml(const QWebEngineLoadingInfo& info);

// The page for an address whose renderer crashed `times` times in a row.
QString CrashPageHtml(const QUrl& address, int times);

} // namespace ostrel::web
