#pragma once

#include <cstdlib>

// A property of the code under test that failed: libFuzzer keeps the input that did it.
inline void check(bool condition)
{
    if (!condition)
        std::abort();
}
