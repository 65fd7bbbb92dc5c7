#pragma once
// The fire's own random source: a 15-bit linear congruential generator with a
// fixed start state, never reseeded, so every run draws the same stream.
// Process-wide and unlocked: only the GUI thread may draw.

#include <cstdint>

int32_t randomInt();                 // 0 .. 32767
float randomUnit();                  // 0 .. 1
float randomRange(float a, float b); // a .. b inclusive
