// The proxy setting, read once at start from where the desktop keeps it, and given to the engine
// as its switches: the one reading that the engine and the gateway probe both follow.
#pragma once

#include "host/proxyroute.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace ostrel::host {

struct ProxySetting {
    // Where it was read. Nothing: no source names a proxy, and the engine is given no switch.
    enum class Source { Nothing, Environment, Gnome, Kde };
    // Automatic: the network's WPAD script (http://wpad/wpad.dat), found as the engine finds it.
    enum class Kind { Direct, Fixed, Script, Automatic };

    Source source = Source::Nothing;
    Kind kind = Kind::Direct;
    // Fixed: the proxy for http: and for https: addresses (direct where none is named).
    ProxyRoute http, https;
    // Fixed: what goes direct; a name stands for itself and every name below it, "a.b/16" for a
    // network, "*" for everything.
    QStringList bypass;
    QUrl script; // Script and Automatic: the PAC file's address

    // The route where no script decides: Direct and Fixed; loopback always direct.
    ProxyRoute FixedRoute(const QUrl& target) const;
    // The engine's switches for exactly this setting; none when nothing names a proxy.
    QStringList EngineSwitches() const;
    // One line for the support window: where it was read and what it says, never a password.
    QString Describe() const;
};

// What the environment's variables say (auto_proxy, http_proxy and https_proxy, all_proxy,
// no_proxy, each also in capitals; "pac+URL" and "wpad://" as libproxy reads them); Nothing when
// none names a proxy.
ProxySetting ProxySettingFromEnvironment(const QProcessEnvironment& environment);

// The session's setting: the environment's when it names a proxy, else the desktop's (GNOME's
// settings on a GNOME-like desktop, KDE's kioslaverc on KDE), else Nothing.
ProxySetting ReadProxySetting();

// A proxy script (PAC) from its address, directly, as the engine fetches it; at most a megabyte.
// Blocks for at most about ten seconds. Nullopt where it cannot be had, or the platform's probe
// finds its proxy itself.
std::optional<QByteArray> FetchProxyScript(const QUrl& url);

// Whether a host is this machine's own, which the engine never sends through a proxy.
bool IsLoopbackHost(const QString& host);

} // namespace ostrel::host
