#pragma once
// The step's pair forces, read from the packed copy of the positions. They give
// the bits of accumulatePairForces: the same candidates in the same order, the
// same correctly rounded double operations, the force sums added one pair at a
// time in list order and rounded to float each time. Only the work around them
// is arranged for speed: the distance filter and the pair factors run a few
// candidates at a time in vector registers, and the square root and the powers
// run only for the pairs inside the cut-off.

#include <cstdint>

class SbVec3f;
struct PackedPosition;
struct SpatialHashGrid;

// Adds to force the pair forces on the particle at p, index self, from the
// grid's 27 cells around p. packed[self] is left as it was found.
void addPairForcesPacked(const SpatialHashGrid &grid, PackedPosition *packed, int32_t self,
                         const SbVec3f &p, SbVec3f &force);

namespace pair_kernels {
// Which instruction set the kernels use: wide (AVX2, where the processor has
// it; chosen once at start-up) or the baseline SSE2. Both give the same bits;
// tests switch between them to show it.
bool wideVectorsAvailable();
void useWideVectors(bool on);   // ignored (stays off) without AVX2
bool usingWideVectors();
// The pair factors of the wide (where available) or the baseline kernels, for
// d2[0 .. n-1] each inside the cut-off: what the step multiplies each pair's
// offsets by.
void pairFactorsBatch(const double *d2, double *k, int32_t n, bool wide);
}  // namespace pair_kernels
