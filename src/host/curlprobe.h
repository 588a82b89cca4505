// The gateway probe on Linux: a libcurl GET that stops as soon as the final status is known.
#pragma once

#include "host/probe.h"

#include <string>

namespace ostrel::host {

class ProxyLogins;

class CurlProbe final : public ConnectionProbe {
public:
    // agent: the User-Agent every probe sends, so gateway logs show who is asking; logins: the
    // session's proxy logins, which outlive the probe.
    CurlProbe(std::string agent, const ProxyLogins& logins);

    // Blocks for at most about ten seconds. Safe to call from several threads at once.
    int Probe(const std::string& url) override;

private:
    std::string agent_;
    const ProxyLogins& logins_;
};

} // namespace ostrel::host
