#pragma once
// The step's pair forces, read from compact copies of the positions. They give
// the bits of accumulatePairForces: the same candidates in the same order, the
// same correctly rounded double operations, the force sums added one pair at a
// time in list order and rounded to float each time. Only the work around them
// is arranged for speed: the distance filter reads each bucket's positions
// from consecutive memory and runs four candidates at a time in vector
// registers, the square root and the powers run only for the pairs inside the
// cut-off, and the sums of two particles run side by side where they do not
// depend on each other.

#include "grid/SpatialHashGrid.h"

#include <cstdint>

class SbVec3f;
struct BucketPositions;
struct PackedPosition;

// Lanes a vector kernel takes at once; lists carry this much slack so that a
// group may run past their end.
constexpr int32_t kPairLanes = 4;
// Slots a list keeps past its end for the widest group's stores.
constexpr int32_t kPairSlack = 8;

// One particle's pairs inside the cut-off, in list order, with their factors:
// about 10 KB, kept on the caller's stack.
struct PairList {
    alignas(64) int32_t inside[kMaxNeighbours + kPairSlack];   // neighbour indices
    alignas(64) double squared[kMaxNeighbours + kPairSlack];   // their squared distances
    alignas(64) double factor[kMaxNeighbours + kPairSlack];    // their pair factors
    int32_t kept;                                              // entries listed
    // Where the partner's entries fall among the listed ones, ascending (at
    // most one per visit of its bucket): the partner's position is not final
    // yet when the list is made, so its entries are measured when the sums
    // reach them.
    int32_t deferredAt[27];
    int32_t deferredCount;
};

// Fills order from the grid just built: each bucket's entries in turn, at the
// positions packed holds for them.
void arrangeByBucket(const SpatialHashGrid &grid, const PackedPosition *packed, int32_t activeCount,
                     BucketPositions &order);

// Lists the pairs of the particle at p, index self, from the grid's 27 cells
// around p, leaving out self and deferring partner (-1 for none). order is
// left as it was found.
void listPairs(const SpatialHashGrid &grid, BucketPositions &order, int32_t self, int32_t partner,
               const SbVec3f &p, PairList &out);

// Adds a's forces to forceA, and b's to forceB up to b's first deferred entry,
// the two sums side by side. Returns how many of b's entries were added.
int32_t addBoth(const PairList &a, const SbVec3f &pa, SbVec3f &forceA, const PairList &b,
                const SbVec3f &pb, SbVec3f &forceB, const PackedPosition *packed);

// Adds list's forces from entry `from` on, measuring the deferred entries of
// partner from packed[partner], which must be final by now.
void addRest(const PairList &list, int32_t from, int32_t partner, const SbVec3f &p, SbVec3f &force,
             const PackedPosition *packed);

namespace pair_kernels {
// The kernel sets: the baseline (SSE2); wide, AVX2 with FMA; widest, whose
// filter takes eight candidates at a time with AVX-512 (its factors are the
// wide ones). The widest the processor has is chosen once at start-up; all
// give the same bits, and tests switch between them to show it. A set that is
// not there falls back to the next narrower one.
enum class Kernels { baseline, wide, widest };
bool kernelsAvailable(Kernels kernels);
void useKernels(Kernels kernels);
bool wideVectorsAvailable();   // the wide factors, for pairFactorsBatch

// The pair factors of the wide (where available) or the baseline kernels, for
// d2[0 .. n-1] each inside the cut-off: what the step multiplies each pair's
// offsets by.
void pairFactorsBatch(const double *d2, double *k, int32_t n, bool wide);
}  // namespace pair_kernels
