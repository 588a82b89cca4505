// What the service desk asks on a support call, collected while the program runs (the main window
// keeps one such record, filled by the parts that know each fact), and the one text of it that the
// "Over Ostrel Web" window shows and copies.
#pragma once

#include "host/registry.h"
#include "navigation/portal.h"

#include <cstddef>
#include <deque>
#include <string>

namespace ostrel::app {

// One gateway probe, as the program asked it and read the answer.
struct ProbeRecord {
    std::string time; // local time when it was asked: "hh:mm:ss"
    std::string url;
    int status = 0; // as host::ConnectionProbe::Probe returned it
};

struct SupportFacts {
    static constexpr std::size_t kKeptProbes = 5;

    std::string versions;            // the program's, Qt's and the engine's, one a line (web::VersionsText)
    navigation::CitrixLookup citrix; // what the start-up's version POST found
    bool debug = false;              // the start-up switches (app/switches.h)
    bool light = false;
    host::RegistryStoreStatus store;
    std::string proxies; // the proxy setting, the way to the portal and each gateway, a line each
    std::deque<ProbeRecord> probes; // the latest, newest first

    // The probe becomes the newest; beyond kKeptProbes the oldest goes.
    void RecordProbe(ProbeRecord probe);
};

// The facts as plain text, a line a fact and a line a probe, in UTF-8; ends with a line end.
std::string SupportText(const SupportFacts& facts);

} // namespace ostrel::app
