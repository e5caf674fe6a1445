// The invariant check of the fuzz targets: names the failing condition, then aborts so
// that libFuzzer (or the replay program) stops on the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define check(ok)                                                                                  \
    do {                                                                                           \
        if (!(ok)) {                                                                               \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #ok);                          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
