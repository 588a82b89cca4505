// The session's proxies: the setting read at start, the way it gives to each address (running the
// PAC script where one decides), and the logins proxies took. One for the program, made by its
// entry and shared by the pages and the gateway probe, whose thread reads it too: safe from any
// thread.
#pragma once

#include "host/proxysetting.h"

#include <QByteArray>
#include <QMap>
#include <QMutex>

#include <functional>
#include <utility>

namespace ostrel::host {

// How a proxy let the program's requests through, as far as the program saw.
enum class ProxyLoginKind { Password, Kerberos };

class Proxies {
public:
    // Fetches a PAC file, directly: its text, or nullopt.
    using FetchScript = std::function<std::optional<QByteArray>(const QUrl&)>;
    Proxies(ProxySetting setting, FetchScript fetch);

    const ProxySetting& setting() const { return setting_; }
    // The way to target. Where a script decides, it is fetched (once) and run: this blocks, so
    // not on the GUI thread. A script that cannot be had or fails sends target direct, as the
    // engine does.
    ProxyRoute Route(const QUrl& target) const;
    // The way where no script must run for it; nullopt where one decides.
    std::optional<ProxyRoute> KnownRoute(const QUrl& target) const;

    // The logins the user gave for proxies in this session, by the proxy's host; in memory only.
    void Remember(const QString& host, const ProxyLogin& login);
    // The login for a route: the one the user gave this session, else the one the setting carries.
    std::optional<ProxyLogin> LoginFor(const ProxyRoute& route) const;
    void NoteLogin(const QString& host, ProxyLoginKind kind);

    // For the support window: the setting, the way to each address (named as given) and how each
    // proxy that asked took a login; a line each, never a password.
    QString Describe(const QList<std::pair<QString, QUrl>>& targets) const;

private:
    const ProxySetting setting_;
    const FetchScript fetch_;
    mutable QMutex mutex_;
    QMap<QString, ProxyLogin> logins_;    // by host, in lower case
    QMap<QString, ProxyLoginKind> kinds_; // by host, in lower case
    // Its own lock: fetching the script takes a while, and the GUI thread must not wait on it.
    mutable QMutex scriptMutex_;
    mutable std::optional<QString> script_;
};

} // namespace ostrel::host
