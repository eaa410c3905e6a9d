#pragma once
// A broken property found by a fuzz target: say which and stop, so the fuzzer keeps the input.

#include <cstdio>
#include <cstdlib>

inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}
