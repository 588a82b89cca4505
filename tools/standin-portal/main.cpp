// ostrel-standin: a loopback stand-in for the insurer's portal and the other
// destinations the Ostrel Web shell opens. A build whose destination origins
// point at 127.0.0.1 can run against it, and every request the shell makes is
// written to a JSON-lines log that tests read while the server is running.

#include "files.h"
#include "options.h"
#include "routes.h"
#include "routing.h"
#include "server.h"

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

int main(int argc, char** argv)
{
    standin::Options options;
    try {
        options = standin::ParseOptions(argc, argv);
    } catch (const standin::UsageError& e) {
        std::fprintf(stderr, "ostrel-standin: %s\n(see ostrel-standin --help)\n", e.what());
        return standin::kExitUsage;
    }
    if (options.help) {
        std::fputs(standin::kUsage, stdout);
        return 0;
    }
    // The server owns what lives as long as it serves (the log, the counts, the shutdown); the
    // pages and the files are handed what they use of it.
    standin::Server server(options);
    const standin::Files files(server.shutdown(), server.counters().broken_served);
    std::vector<standin::Route> routes = standin::PageRoutes(options, server.shutdown(), server.counters());
    for (standin::Route& r : files.Routes())
        routes.push_back(std::move(r));
    const standin::Router router(std::move(routes));
    return server.Run(std::bind_front(&standin::Router::Serve, &router));
}
