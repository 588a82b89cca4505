// The way to an address: directly, or through a proxy, and the login a proxy may want.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace ostrel::host {

struct ProxyLogin {
    QString user;
    QString password;
};

struct ProxyRoute {
    enum class Kind { Direct, Http, Socks4, Socks5 };
    Kind kind = Kind::Direct;
    QString host;
    std::uint16_t port = 0;
    // The login the system's setting carries (user:password@ in the proxy variable), if any.
    std::optional<ProxyLogin> login;

    bool direct() const { return kind == Kind::Direct; }
    // "host:port", as the user is told which proxy it is.
    QString name() const;
    // "http://host:port", "socks4://" or "socks5://host:port", as the engine's switches write it;
    // for libcurl "socks4a://" and "socks5h://" (the proxy resolves the name).
    enum class Reader { Engine, Curl };
    QString address(Reader reader) const;
};

} // namespace ostrel::host
