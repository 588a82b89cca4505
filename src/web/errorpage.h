// Our own pages for a page that fails. One that could not be reached shows, instead of the
// engine's own (English) page, what went wrong in one sentence, the address, and "Opnieuw
// proberen"; one whose certificate is refused says who could be listening, and offers no way on;
// one whose renderer kept crashing says so.
#pragma once

#include <QString>
#include <QUrl>

#include <optional>

class QWebEngineLoadingInfo;

namespace ostrel::web {

enum class Unreachable { NoNetwork, NameNotFound, Refused, TimedOut, Failed };

// Why a failed load did not reach its server, or nothing for any other failure.
std::optional<Unreachable> UnreachableBecause(const QWebEngineLoadingInfo& info);

// A failure that the network coming back may mend.
bool ForWantOfNetwork(Unreachable why);

// The page; its button navigates to the kRetryScheme address, which the page never loads.
QString ErrorPageHtml(Unreachable why, const QUrl& address);
inline constexpr char kRetryScheme[] = "ostrel-retry";

// The page for a load refused for its server's certificate (the load's error code is one of the
// engine's certificate errors), or nothing for any other failure.
std::optional<QString> CertificatePageHtml(const QWebEngineLoadingInfo& info);

// The page for an address whose renderer crashed `times` times in a row.
QString CrashPageHtml(const QUrl& address, int times);

} // namespace ostrel::web
