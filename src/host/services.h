// What the machine provides, in one place: the window and the logic reach the platform only
// through these.
#pragma once

#include "host/account.h"
#include "host/messages.h"
#include "host/pause.h"
#include "host/probe.h"
#include "host/process.h"
#include "host/registry.h"
#include "host/shell.h"

#include <memory>

namespace ostrel::host {

class Proxies;

struct Services {
    std::unique_ptr<CurrentUserRegistry> registry;
    std::unique_ptr<Pause> pause;
    std::unique_ptr<Shell> shell;
    std::unique_ptr<AccountDomainSource> account;
    std::unique_ptr<ConnectionProbe> probe;
    std::unique_ptr<MessageDialog> messages;
    ProcessInfo process;
    // The session's proxies, which the pages and the probe share; owned by the program's entry.
    Proxies* proxies = nullptr;
};

// This machine's implementations, for the process started with these arguments; proxies outlive
// them.
Services PlatformServices(const ProcessInfo& process, Proxies& proxies);

} // namespace ostrel::host
