// Whether an address answers: the status of a GET, as the gateway choice needs it.
#pragma once

#include <string>

namespace ostrel::host {

inline constexpr int kProbeNoResponse = -1;
inline constexpr int kProbeStatusUnreadable = 11001;

class ConnectionProbe {
public:
    virtual ~ConnectionProbe() = default;
    // GETs the URL (following redirects, with the system's proxy settings, showing nothing) and
    // returns the final response's status code; kProbeNoResponse when no response came. The body is
    // never read. Bounded in time: a server that never answers is a failure, not a hang.
    virtual int Probe(const std::string& url) = 0;
};

} // namespace ostrel::host
