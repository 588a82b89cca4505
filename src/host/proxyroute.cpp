#include "host/proxyroute.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QUrl>

namespace ostrel::host {

namespace {
// The engine's own rule: localhost, *.localhost, 127.0.0.0/8 and ::1 never go through a proxy.
bool IsLoopback(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
        host.endsWith(QLatin1String(".localhost"), Qt::CaseInsensitive))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QString Key(const QString& host, std::uint16_t port)
{
    return host.toLower() + u':' + QString::number(port);
}
} // namespace

QString ProxyRoute::name() const
{
    return host + u':' + QString::number(port);
}

QString ProxyRoute::curlAddress() const
{
    const QString scheme = kind == Kind::Socks5 ? QStringLiteral("socks5h") : QStringLiteral("http");
    // An IPv6 address needs its brackets back in a URL.
    const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
    return scheme + QStringLiteral("://") + shown + u':' + QString::number(port);
}

ProxyRoute SystemProxyRoute(const QUrl& target)
{
    ProxyRoute route;
    if (IsLoopback(target.host()))
        return route;
    const QList<QNetworkProxy> proxies =
        QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(target));
    if (proxies.isEmpty())
        return route;
    const QNetworkProxy& first = proxies.first();
    switch (first.type()) {
    case QNetworkProxy::HttpProxy:
    case QNetworkProxy::HttpCachingProxy:
        route.kind = ProxyRoute::Kind::Http;
        break;
    case QNetworkProxy::Socks5Proxy:
        route.kind = ProxyRoute::Kind::Socks5;
        break;
    default:
        return route;
    }
    route.host = first.hostName();
    route.port = first.port();
    if (!first.user().isEmpty())
        route.login = ProxyLogin{first.user(), first.password()};
    return route;
}

void ProxyLogins::Remember(const QString& host, std::uint16_t port, const ProxyLogin& login)
{
    const QMutexLocker lock(&mutex_);
    logins_.insert(Key(host, port), login);
}

std::optional<ProxyLogin> ProxyLogins::For(const ProxyRoute& route) const
{
    if (route.direct())
        return std::nullopt;
    const QMutexLocker lock(&mutex_);
    const auto given = logins_.constFind(Key(route.host, route.port));
    return given != logins_.cend() ? std::optional(*given) : route.login;
}

} // namespace ostrel::host
