// The WinINet probe against loopback servers that the test run starts (the stand-in portal):
// OSTREL_PROBE_BASE serves /status/N and /redirect; OSTREL_PROBE_HANG accepts and never answers;
// OSTREL_PROBE_LOG is the stand-in's request log (a Windows path).
#include "host/win/wininetprobe.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ostrel::host {
namespace {

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

int probe(const std::string& url)
{
    return WinInetProbe("Ostrel Web").Probe(url);
}

TEST(WinInetProbe, reportsTheFinalStatus)
{
    const std::string base = env("OSTREL_PROBE_BASE");
    if (base.empty())
        GTEST_SKIP() << "no server given";
    EXPECT_EQ(probe(base + "/status/200"), 200);
    EXPECT_EQ(probe(base + "/status/503"), 503);
    EXPECT_EQ(probe(base + "/status/204"), 204);
    EXPECT_EQ(probe(base + "/redirect?to=" + base + "/status/200"), 200);
    EXPECT_EQ(probe(base + "/redirect?to=" + base + "/status/503"), 503);
}

TEST(WinInetProbe, noAnswerIsAFailureWithinItsBound)
{
    const std::string hang = env("OSTREL_PROBE_HANG");
    if (hang.empty())
        GTEST_SKIP() << "no server given";
    EXPECT_EQ(probe("http://127.0.0.1:1/"), kProbeNoResponse) << "a refused port";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(probe(hang), 200);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "bounded, not minutes";
}

TEST(WinInetProbe, theServerSeesTheProgramsName)
{
    const std::string log = env("OSTREL_PROBE_LOG");
    if (log.empty())
        GTEST_SKIP() << "no server given";
    probe(env("OSTREL_PROBE_BASE") + "/status/200");
    std::ifstream file(log);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("\"User-Agent\":\"Ostrel Web\""), std::string::npos);
}

} // namespace
} // namespace ostrel::host
