// The start-up switches over an arbitrary command line: the input is the program's path and its
// arguments, separated by NUL bytes. Whatever they hold, every caption change appends one of the two
// known suffixes to the caption before it, and the modes follow the suffixes: the browser speaks
// (silent off) exactly when a debug suffix was added, the compact layout is applied once per light
// suffix.
#include "fakes.h"

#include "app/switches.h"
#include "host/process.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void violated(const char* what)
{
    std::fprintf(stderr, "arguments: property violated: %s\n", what);
    std::abort();
}
#define REQUIRE(condition)                                                                         \
    do {                                                                                           \
        if (!(condition))                                                                          \
            violated(#condition);                                                                  \
    } while (false)

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ostrel;
    const std::string input(reinterpret_cast<const char*>(data), size);
    host::ProcessInfo process;
    std::size_t start = input.find('\0');
    process.programPath = input.substr(0, start);
    while (start != std::string::npos) {
        const std::size_t next = input.find('\0', start + 1);
        process.arguments.push_back(input.substr(start + 1, next == std::string::npos ? next : next - start - 1));
        start = next;
    }

    testing::CallLog log;
    testing::FakeWindow window{log};
    testing::FakeBrowser browser{log};
    const std::string base = "Ostrel Web 6.9";
    app::g_compactMode = false;
    browser.SetSilent(true);
    window.SetCaption(base);
    log.clear();

    app::ScanCommandLine(process, window, browser);

    std::string caption = base;
    std::size_t debugs = 0, lights = 0, compactLayouts = 0;
    const std::string captionCall = "Caption ";
    for (const std::string& call : log) {
        if (startsWith(call, captionCall)) {
            const std::string next = call.substr(captionCall.size());
            if (next == caption + std::string(app::kDebugSuffix))
                ++debugs;
            else if (next == caption + std::string(app::kLightSuffix))
                ++lights;
            else
                violated("the caption changed other than by one known suffix");
            caption = next;
        } else if (call == "CompactLayout") {
            ++compactLayouts;
        } else {
            REQUIRE(call == "Silent off");
        }
    }
    REQUIRE(window.Caption() == caption);
    REQUIRE(compactLayouts == lights);
    REQUIRE(app::g_compactMode == (lights > 0));
    REQUIRE(browser.Silent() == (debugs == 0));
    // Each of the path and the arguments adds at most one suffix of each kind.
    REQUIRE(debugs <= 1 + process.arguments.size() && lights <= 1 + process.arguments.size());
    app::g_compactMode = false;
    return 0;
}
