#include "web/errorpage.h"

#include "web/webpage.h"

#include <QWebEngineLoadingInfo>

namespace ostrel::web {

namespace {
// Chromium's network error codes (net/base/net_error_list.h).
constexpr int kTimedOut = -7, kSocketNotConnected = -15, kNetworkChanged = -21, kConnectionClosed = -100,
              kConnectionReset = -101, kConnectionRefused = -102, kConnectionFailed = -104,
              kNameNotResolved = -105, kInternetDisconnected = -106, kAddressUnreachable = -109,
              kClientCertNeeded = -110, kTunnelFailed = -111, kProxyAuthUnsupported = -115,
              kBadClientCert = -117, kConnectionTimedOut = -118, kSocksFailed = -120,
              kSocksHostUnreachable = -121, kProxyAuthRequested = -127, kProxyConnectionFailed = -130,
              kMandatoryProxyConfigFailed = -131, kClientCertNoPrivateKey = -135, kProxyCertInvalid = -136,
              kNameResolutionFailed = -137, kClientAuthSignatureFailed = -141, kUnexpectedProxyAuth = -323,
              kEmptyResponse = -324;
constexpr int kProxyAuthenticationRequired = 407; // HTTP's status
constexpr int kCertCommonNameInvalid = -200, kCertDateInvalid = -201, kCertAuthorityInvalid = -202,
              kCertRevoked = -206;

// Our pages' one look: a title, a heading, and the paragraphs that follow (made already).
QString PageHtml(const QString& title, const QString& heading, const QString& body)
{
    return QStringLiteral("<!DOCTYPE html><html lang=nl><head><meta charset=utf-8><title>%1</title></head>"
                          "<body style='font-family:sans-serif;margin:2em;color:#222'>"
                          "<h1 style='font-size:1.4em'>%2</h1>%3</body></html>")
        .arg(title, heading, body);
}

// A paragraph of plain text; a remark (the address, a code) in grey.
QString Paragraph(const char* id, const QString& text, bool remark = false)
{
    return QStringLiteral("<p id=%1%2>%3</p>")
        .arg(QLatin1String(id), remark ? QStringLiteral(" style='color:#555'") : QString(), text.toHtmlEscaped());
}

QString Shown(const QUrl& address)
{
    return address.toString(QUrl::FullyEncoded);
}
} // namespace

std::optional<Unreachable> UnreachableBecause(const QWebEngineLoadingInfo& info)
{
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus)
        return std::nullopt;
    // The proxy's refusal comes as its own page with status 407; any other status is the server's.
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        return info.errorCode() == kProxyAuthenticationRequired
                   ? std::optional(Unreachable::ProxyLoginCancelled)
                   : std::nullopt;
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
    case kSocketNotConnected:
    case kConnectionClosed:
    case kConnectionReset:
    case kConnectionFailed:
    case kEmptyResponse:
        return Unreachable::Failed;
    case kProxyConnectionFailed:
    case kSocksFailed:
        return Unreachable::ProxyUnreachable;
    case kTunnelFailed:
    case kSocksHostUnreachable:
    case kMandatoryProxyConfigFailed:
    case kProxyCertInvalid:
    case kProxyAuthUnsupported:
        return Unreachable::ProxyFailed;
    case kProxyAuthRequested:
    case kUnexpectedProxyAuth:
        return Unreachable::ProxyLoginCancelled;
    case kClientCertNeeded:
    case kBadClientCert:
    case kClientCertNoPrivateKey:
    case kClientAuthSignatureFailed:
        return Unreachable::NoCertificate;
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
    return PageHtml(QStringLiteral("Verbinding niet veilig"), QStringLiteral("Deze verbinding is niet veilig"),
                    Paragraph("why", sentence) + Paragraph("address", Shown(info.url()), true) +
                        Paragraph("who", QStringLiteral("Iemand op het netwerk kan zich voordoen als deze server "
                                                        "en meelezen of veranderen wat u verstuurt en ontvangt. "
                                                        "Dat kan een aanvaller zijn, maar ook een proxy of "
                                                        "inspectieapparaat van het netwerk waarop u werkt. "
                                                        "Daarom opent Ostrel Web deze pagina niet.")) +
                        Paragraph("code", QStringLiteral("Foutcode ") + QString::number(info.errorCode()), true));
}

bool ForWantOfNetwork(Unreachable why)
{
    return why == Unreachable::NoNetwork || why == Unreachable::NameNotFound;
}

bool OfTheProxy(Unreachable why)
{
    return why == Unreachable::ProxyUnreachable || why == Unreachable::ProxyFailed ||
           why == Unreachable::ProxyLoginCancelled || why == Unreachable::ProxyLoginRefused ||
           why == Unreachable::NoNetworkLogin;
}

QString CrashPageHtml(const QUrl& address, int times)
{
    return PageHtml(QStringLiteral("Pagina gestopt"), QStringLiteral("Deze pagina is gestopt"),
                    Paragraph("why", QStringLiteral("De pagina %1 is %2 keer achter elkaar vastgelopen.")
                                         .arg(Shown(address))
                                         .arg(times)) +
                        QStringLiteral("<p><a href='%1'>Opnieuw laden</a></p>").arg(Shown(address).toHtmlEscaped()));
}

QString ErrorPageHtml(Unreachable why, const QUrl& address, const QString& proxy)
{
    const QString theProxy =
        proxy.isEmpty() ? QStringLiteral("De proxy") : QStringLiteral("De proxy ") + proxy;
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
    case Unreachable::ProxyUnreachable:
        sentence = theProxy + QStringLiteral(" van uw netwerk is niet bereikbaar.");
        break;
    case Unreachable::ProxyFailed:
        sentence = theProxy + QStringLiteral(" van uw netwerk kan de server niet bereiken.");
        break;
    case Unreachable::ProxyLoginCancelled:
        sentence = theProxy + QStringLiteral(" van uw netwerk vraagt om een gebruikersnaam en wachtwoord, en "
                                             "die zijn niet gegeven.");
        break;
    case Unreachable::ProxyLoginRefused:
        sentence = theProxy + QStringLiteral(" van uw netwerk heeft de gebruikersnaam of het wachtwoord "
                                             "%1 keer geweigerd.")
                                  .arg(ProxyAttempts::kAttempts);
        break;
    case Unreachable::NoNetworkLogin:
        sentence = theProxy + QStringLiteral(" van uw netwerk vraagt om de netwerkaanmelding van deze computer "
                                             "(Kerberos), en deze computer heeft er geen. Meld u opnieuw aan op de "
                                             "computer, of vraag uw systeembeheerder om hulp; probeer het daarna "
                                             "opnieuw.");
        break;
    case Unreachable::NoCertificate:
        // The engine may keep "none" for the server until the program ends, whatever we ask.
        sentence = QStringLiteral("De server vraagt om een certificaat waarmee u zich bekendmaakt, en heeft "
                                  "er geen gekregen dat hij aanneemt. Hebt u geen certificaat gekozen? "
                                  "Start Ostrel Web dan opnieuw om er alsnog een te kiezen.");
        break;
    }
    return PageHtml(QStringLiteral("Pagina niet bereikbaar"), QStringLiteral("Deze pagina is niet bereikbaar"),
                    Paragraph("why", sentence) + Paragraph("address", Shown(address), true) +
                        QStringLiteral("<p><button id=retry type=button style='font-size:1em;padding:.3em 1em'"
                                       " onclick=\"location.href='%1:'\">Opnieuw proberen</button></p>")
                            .arg(QLatin1String(kRetryScheme)));
}

} // namespace ostrel::web
