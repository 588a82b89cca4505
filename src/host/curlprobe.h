// The gateway probe on Linux: a libcurl GET that stops as soon as the final status is known.
#pragma once

#include "host/probe.h"

#include <string>

namespace ostrel::host {

class CurlProbe final : public ConnectionProbe {
public:
    // agent: the User-Agent every probe sends, so gateway logs show who is asking.
    explicit CurlProbe(std::string agent);

    // Blocks for at most about ten seconds. Safe to call from several threads at once.
    int Probe(const std::string& url) override;

private:
    std::string agent_;
};

} // namespace ostrel::host
