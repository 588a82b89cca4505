#include "app/supportfacts.h"

#include "host/probe.h"

namespace ostrel::app {

namespace {
std::string citrixText(const SupportFacts& facts)
{
    using enum navigation::CitrixLookup::Outcome;
    switch (facts.citrix.outcome) {
    case NotYet:
        break;
    case Found:
        return facts.citrix.text;
    case NoneFound:
        // A store that cannot be read is searched as one without the key (navigation/portal.h).
        return facts.store.reading == host::RegistryStoreStatus::Reading::Unreadable
                   ? "niet gevonden (register onleesbaar)"
                   : "niet gevonden";
    case Unreadable:
        return "onleesbaar: " + facts.citrix.text;
    }
    return "nog niet opgezocht";
}

std::string modeText(const SupportFacts& facts)
{
    if (facts.debug && facts.light)
        return "debug en light";
    if (facts.debug)
        return "debug";
    return facts.light ? "light" : "normaal";
}

std::string readingText(const host::RegistryStoreStatus& store)
{
    using enum host::RegistryStoreStatus::Reading;
    switch (store.reading) {
    case NotYet:
        break;
    case Absent:
        return "nog geen bestand";
    case Read:
        return "gelezen";
    case Unreadable:
        return "onleesbaar: " + store.problem;
    }
    return "nog niet gelezen";
}

// The answer as the gateway choice reads it: only a 200 is a gateway to open.
std::string resultText(int status)
{
    if (status == host::kProbeNoResponse)
        return "geen antwoord";
    if (status == host::kProbeStatusUnreadable)
        return "antwoord zonder leesbare status";
    return std::to_string(status) + (status == 200 ? ", bereikbaar" : ", niet bruikbaar");
}
} // namespace

void SupportFacts::RecordProbe(ProbeRecord probe)
{
    probes.push_front(std::move(probe));
    if (probes.size() > kKeptProbes)
        probes.pop_back();
}

std::string SupportText(const SupportFacts& facts)
{
    std::string text = facts.versions;
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    text += "Citrix Receiver: " + citrixText(facts) + '\n';
    text += "Modus: " + modeText(facts) + '\n';
    if (facts.store.path.empty()) {
        text += "Register: het register van Windows (HKEY_CURRENT_USER)\n";
    } else {
        text += "Register: " + facts.store.path + '\n';
        text += "Registerstatus: " + readingText(facts.store) + '\n';
    }
    if (!facts.store.keptAsidePath.empty())
        text += "Apart gezet: " + facts.store.keptAsideOn + ", het beschadigde bestand als " +
                facts.store.keptAsidePath + '\n';
    text += facts.proxies;
    if (facts.probes.empty()) {
        text += "Verbindingstests (F2): nog geen\n";
        return text;
    }
    text += "Verbindingstests (F2), nieuwste eerst:\n";
    for (const ProbeRecord& probe : facts.probes)
        text += "  " + probe.time + "  " + probe.url + "  " + resultText(probe.status) + '\n';
    return text;
}

} // namespace ostrel::app
