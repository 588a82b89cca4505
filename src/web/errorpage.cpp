#include "web/errorpage.h"

#include <QWebEngineLoadingInfo>

namespace ostrel::web {

namespace {
// Chromium's network error codes (net/base/net_error_list.h).
constexpr int kTimedOut = -7, kNetworkChanged = -21, kConnectionClosed = -100, kConnectionReset = -101,
              kConnectionRefused = -102, kConnectionFailed = -104, kNameNotResolved = -105,
              kInternetDisconnected = -106, kAddressUnreachable = -109, kConnectionTimedOut = -118,
              kNameResolutionFailed = -137, kEmptyResponse = -324;
} // namespace

std::optional<Unreachable> UnreachableBecause(const QWebEngineLoadingInfo& info)
{
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus ||
        (info.errorDomain() != QWebEngineLoadingInfo::ConnectionErrorDomain &&
         info.errorDomain() != QWebEngineLoadingInfo::DnsErrorDomain))
        return std::nullopt;
    switch (info.errorCode()) {
    case kInternetDisconnected:
    case kNetworkChanged:
    case kAddressUnreachable:
        return Unreachable::NoNetwork;
    case kNameNotResolved:
    case kNameResolutionFailed:
        return Unreachable::NameNotFound;
    case kConnectionRefused:
        return Unreachable::Refused;
    case kTimedOut:
    case kConnectionTimedOut:
        return Unreachable::TimedOut;
    case kConnectionClosed:
    case kConnectionReset:
    case kConnectionFailed:
    case kEmptyResponse:
        return Unreachable::Failed;
    default:
        return std::nullopt;
    }
}

bool ForWantOfNetwork(Unreachable why)
{
    return why == Unreachable::NoNetwork || why == Unreachable::NameNotFound;
}

QString CrashPageHtml(const QUrl& address, int times)
{
    return QStringLiteral(
               "<!DOCTYPE html><html><head><meta charset=utf-8><title>Pagina gestopt</title></head>"
               "<body style='font-family:sans-serif;margin:2em'><h1>Deze pagina is gestopt</h1>"
               "<p>De pagina %1 is %2 keer achter elkaar vastgelopen.</p>"
               "<p><a href='%1'>Opnieuw laden</a></p></body></html>")
        .arg(address.toString(QUrl::FullyEncoded).toHtmlEscaped())
        .arg(times);
}

QString ErrorPageHtml(Unreachable why, const QUrl& address)
{
    QString sentence;
    switch (why) {
    case Unreachable::NoNetwork:
        sentence = QStringLiteral("Deze computer heeft geen verbinding met het netwerk.");
        break;
    case Unreachable::NameNotFound:
        sentence = QStringLiteral("De naam van de server is niet gevonden.");
        break;
    case Unreachable::Refused:
        sentence = QStringLiteral("De server weigert de verbinding.");
        break;
    case Unreachable::TimedOut:
        sentence = QStringLiteral("De server antwoordt niet op tijd.");
        break;
    case Unreachable::Failed:
        sentence = QStringLiteral("De verbinding met de server is verbroken.");
        break;
    }
    return QStringLiteral("<!DOCTYPE html><html lang=nl><head><meta charset=utf-8>"
                          "<title>Pagina niet bereikbaar</title></head>"
                          "<body style='font-family:sans-serif;margin:2em;color:#222'>"
                          "<h1 style='font-size:1.4em'>Deze pagina is niet bereikbaar</h1>"
                          "<p id=why>%1</p><p id=address style='color:#555'>%2</p>"
                          "<p><button id=retry type=button style='font-size:1em;padding:.3em 1em'"
                          " onclick=\"location.href='%3:'\">Opnieuw proberen</button></p></body></html>")
        .arg(sentence, address.toString(QUrl::FullyEncoded).toHtmlEscaped(), QLatin1String(kRetryScheme));
}

} // namespace ostrel::web
