#pragma once
// Test support for the process-wide random source: restore the fresh state,
// and pick states whose next draws are chosen values.

#include "sim/RandomState.h"

#include <cstdint>

inline void resetRandomState() { random_detail::randomState = random_detail::kInitialRandomState; }

// The state after which the generator's k-th next draw (k = 1..4) is `draw`,
// found by search; the draws before and after it are whatever they are.
inline uint32_t stateWithDrawAt(int k, int32_t draw) {
    for (uint32_t seed = 1;; ++seed) {
        uint32_t s = seed;
        int32_t value = -1;
        for (int i = 0; i < k; ++i) {
            s = s * 214013u + 2531011u;
            value = static_cast<int32_t>((s >> 16) & 0x7FFFu);
        }
        if (value == draw) return seed;
    }
}
