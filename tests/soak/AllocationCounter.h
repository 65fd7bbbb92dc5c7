#pragma once
// Counts every heap allocation of the process (operator new in all its forms
// and, outside AddressSanitizer builds, the malloc family) from the moment
// counting is switched on. Linking AllocationCounter.cpp into a test binary
// replaces the global allocation functions of that binary.

#include <cstdint>

namespace allocation_counter {

void start();           // resets the count and starts counting
uint64_t stop();        // stops counting; returns the allocations since start()
uint64_t largest();     // bytes of the largest request since start(), failed ones included
bool countsMalloc();    // false where a sanitizer owns malloc

}  // namespace allocation_counter
