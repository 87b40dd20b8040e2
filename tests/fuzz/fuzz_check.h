#pragma once
// What a fuzz target asserts about the code it runs. A failed check ends the process as a
// crash, which libFuzzer reports and keeps as a finding.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                 \
    do {                                                                                      \
        if (!(condition)) {                                                                   \
            std::fprintf(stderr, "check failed: %s at %s:%d\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)
