// A proxy auto-config script (PAC), run as browsers run it: FindProxyForURL(url, host) with the
// helper functions such scripts call. For the gateway probe, which must go where the engine goes.
#pragma once

#include "host/proxyroute.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace ostrel::host {

// The first of the script's answers for target that a probe can follow ("DIRECT", "PROXY h:p",
// "SOCKS h:p", "SOCKS5 h:p"); nullopt when the script fails, answers nothing usable or runs longer
// than a second. Blocks on name lookups the script asks for: not for the GUI thread.
std::optional<ProxyRoute> RouteByScript(const QString& script, const QUrl& target);

} // namespace ostrel::host
