#pragma once

#include "host/probe.h"

namespace ostrel::host {

// The probe through WinINet, with the system's proxy settings (no auto-proxy scripts) and no UI.
class WinInetProbe final : public ConnectionProbe {
public:
    explicit WinInetProbe(std::string agent) : agent_(std::move(agent)) {}
    int Probe(const std::string& url) override;

private:
    std::string agent_;
};

} // namespace ostrel::host
