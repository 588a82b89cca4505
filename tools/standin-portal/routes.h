// The table's rows for the pages: every path the stand-in answers with something other than the
// generic page, but the files (files.h). What the command line makes of the portal's "/" comes first.
#pragma once

#include "options.h"
#include "routing.h"
#include "server.h"

#include <vector>

namespace standin {

// The routes use `shutdown` (pages that wait give way to it) and `counters`; both outlive them.
std::vector<Route> PageRoutes(const Options& options, Shutdown& shutdown, Counters& counters);

} // namespace standin
