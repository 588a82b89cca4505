// The gateway probe on Linux: a libcurl GET that stops as soon as the final status is known.
#pragma once

#include "host/probe.h"

#include <string>

namespace ostrel::host {

class Proxies;

class CurlProbe final : public ConnectionProbe {
public:
    // agent: the User-Agent every probe sends, so gateway logs show who is asking; proxies: the
    // session's, which outlive the probe.
    CurlProbe(std::string agent, Proxies& proxies);

    // Blocks for at most about ten seconds. Safe to call from several threads at once.
    int Probe(const std::string& url) override;

private:
    std::string agent_;
    Proxies& proxies_;
};

} // namespace ostrel::host
