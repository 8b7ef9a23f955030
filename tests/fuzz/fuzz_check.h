#pragma once

#include <cstdio>
#include <cstdlib>

// A property of the code under test that failed: libFuzzer keeps the input that did it,
// and the log names the property's line.
inline void checkAt(bool condition, const char* file, int line)
{
    if (!condition) {
        std::fprintf(stderr, "property failed: %s:%d\n", file, line);
        std::abort();
    }
}

#define check(condition) checkAt((condition), __FILE__, __LINE__)
