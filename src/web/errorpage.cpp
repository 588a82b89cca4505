#include "web/errorpage.h"

#include <QWebEngineLoadingInfo>

namespace ostrel::web {

namespace {
// Chromium's network error codes (net/base/net_error_list.h).
constexpr int kTimedOut = -7, kNetworkChanged = -21, kConnectionClosed = -100, kConnectionReset = -101,
              kConnectionRefused = -102, kConnectionFailed = -104, kNameNotResolved = -105,
              kInternetDisconnected = -106, kAddressUnreachable = -109, kConnectionTimedOut = -118,
              kNameResolutionFailed = -137, kEmptyResponse = -324;
constexpr int kCertCommonNameInvalid = -200, kCertDateInvalid = -201, kCertAuthorityInvalid = -202,
              kCertRevoked = -206;
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

std::optional<QString> CertificatePageHtml(const QWebEngineLoadingInfo& info)
{
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus ||
        info.errorDomain() != QWebEngineLoadingInfo::CertificateErrorDomain)
        return std::nullopt;
    QString sentence;
    switch (info.errorCode()) {
    case kCertCommonNameInvalid:
        sentence = QStringLiteral("Het certificaat van de server is niet voor dit adres uitgegeven.");
        break;
    case kCertDateInvalid:
        sentence = QStringLiteral("Het certificaat van de server is verlopen of nog niet geldig.");
        break;
    case kCertAuthorityInvalid:
        sentence = QStringLiteral("Het certificaat van de server is niet uitgegeven door een bekende "
                                  "certificaatautoriteit.");
        break;
    case kCertRevoked:
        sentence = QStringLiteral("Het certificaat van de server is ingetrokken.");
        break;
    default:
        sentence = QStringLiteral("Het certificaat van de server is ongeldig.");
        break;
    }
    return QStringLiteral("<!DOCTYPE html><html lang=nl><head><meta charset=utf-8>"
                          "<title>Verbinding niet veilig</title></head>"
                          "<body style='font-family:sans-serif;margin:2em;color:#222'>"
                          "<h1 style='font-size:1.4em'>Deze verbinding is niet veilig</h1>"
                          "<p id=why>%1</p><p id=address style='color:#555'>%2</p>"
                          "<p id=who>Iemand op het netwerk kan zich voordoen als deze server en meelezen of "
                          "veranderen wat u "
                          "verstuurt en ontvangt. Dat kan een aanvaller zijn, maar ook een proxy of "
                          "inspectieapparaat van het "
                          "netwerk waarop u werkt. Daarom opent Ostrel Web deze pagina niet.</p>"
                          "<p id=code style='color:#555'>Foutcode %3</p></body></html>")
        .arg(sentence, info.url().toString(QUrl::FullyEncoded).toHtmlEscaped(),
             QString::number(info.errorCode()));
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
