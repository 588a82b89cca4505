// The way to an address: directly, or through the proxy the system names for it. The engine and
// the gateway probe take the same way, and a proxy's login, once known, serves both.
#pragma once

#include <QMap>
#include <QMutex>
#include <QString>

#include <cstdint>
#include <optional>

class QUrl;

namespace ostrel::host {

struct ProxyLogin {
    QString user;
    QString password;
};

struct ProxyRoute {
    enum class Kind { Direct, Http, Socks5 };
    Kind kind = Kind::Direct;
    QString host;
    std::uint16_t port = 0;
    // The login the system's setting carries (user:password@ in the proxy variable), if any.
    std::optional<ProxyLogin> login;

    bool direct() const { return kind == Kind::Direct; }
    // "host:port", as the user is told which proxy it is.
    QString name() const;
    // "http://host:port" or "socks5h://host:port" (the proxy resolves the name), as libcurl takes it.
    QString curlAddress() const;
};

// The system's proxy for the target (QNetworkProxyFactory::systemProxyForQuery: the environment's
// variables and the desktop's settings where Qt reads them). Loopback addresses go direct, as the
// engine never sends them through a proxy. Safe from any thread.
ProxyRoute SystemProxyRoute(const QUrl& target);

// The logins the user gave for proxies in this session, in memory only. One for the program, made
// by its entry and handed to the pages and the gateway probe, whose thread reads it too: safe from
// any thread.
class ProxyLogins {
public:
    void Remember(const QString& host, std::uint16_t port, const ProxyLogin& login);
    // The login for a route: the one the user gave this session, else the one the setting carries.
    std::optional<ProxyLogin> For(const ProxyRoute& route) const;

private:
    mutable QMutex mutex_;
    QMap<QString, ProxyLogin> logins_; // by "host:port", the host in lower case
};

} // namespace ostrel::host
