#include "host/proxyroute.h"

namespace ostrel::host {

QString ProxyRoute::name() const
{
    return host + u':' + QString::number(port);
}

QString ProxyRoute::curlAddress() const
{
    QString scheme = QStringLiteral("http");
    if (kind == Kind::Socks4)
        scheme = QStringLiteral("socks4a");
    else if (kind == Kind::Socks5)
        scheme = QStringLiteral("socks5h");
    // An IPv6 address needs its brackets back in a URL.
    const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
    return scheme + QStringLiteral("://") + shown + u':' + QString::number(port);
}

} // namespace ostrel::host
