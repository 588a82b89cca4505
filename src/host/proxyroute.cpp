#include "host/proxyroute.h"

namespace ostrel::host {

QString ProxyRoute::name() const
{
    return host + u':' + QString::number(port);
}

QString ProxyRoute::address(Reader reader) const
{
    const bool curl = reader == Reader::Curl;
    QString scheme = QStringLiteral("http");
    if (kind == Kind::Socks4)
        scheme = curl ? QStringLiteral("socks4a") : QStringLiteral("socks4");
    else if (kind == Kind::Socks5)
        scheme = curl ? QStringLiteral("socks5h") : QStringLiteral("socks5");
    // An IPv6 address needs its brackets back in a URL.
    const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
    return scheme + QStringLiteral("://") + shown + u':' + QString::number(port);
}

} // namespace ostrel::host
