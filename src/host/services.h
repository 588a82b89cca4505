// What the machine provides, in one place: the window and the logic reach the platform only
// through these.
#pragma once

#include "host/pause.h"
#include "host/registry.h"
#include "host/shell.h"

#include <memory>

namespace ostrel::host {

struct Services {
    std::unique_ptr<CurrentUserRegistry> registry;
    std::unique_ptr<Pause> pause;
    std::unique_ptr<Shell> shell;
};

// This machine's implementations.
Services PlatformServices();

} // namespace ostrel::host
