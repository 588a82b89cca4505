// A property of a fuzz target: when it does not hold, the target says which and aborts, so that
// libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace ostrel::testing {

[[noreturn]] inline void Violated(const char* what)
{
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

} // namespace ostrel::testing

#define REQUIRE(condition)                                                                                   \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::ostrel::testing::Violated(#condition);                                                         \
    } while (false)
