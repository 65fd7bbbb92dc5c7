#pragma once
// The straightforward step, pair force and warm-up: the arithmetic written out
// as plainly as possible, pow and a square root for every candidate, a
// notifying translation write for every particle. The benchmarks' reference:
// the program's step must give the very same bits, faster. Never used by the
// program.

#include <cstdint>

struct SpatialHashGrid;
struct ParticleSystem;

// One step of system with grid, a grid of the caller's, in place of
// system.grid (which stays untouched).
void baselineStep(ParticleSystem &system, SpatialHashGrid &grid);

// The pair forces on particle index, from grid's neighbour list.
void baselineAccumulatePairForces(ParticleSystem &system, SpatialHashGrid &grid, int32_t index);

// ceil(capacity / 10) passes of ten more active particles and one baselineStep.
void baselineWarmUp(ParticleSystem &system, SpatialHashGrid &grid);

// The scene as the straightforward version keeps it: every particle's
// translation write notifies up the graph, and its separator caches as Coin
// decides. Requires every particle's nodes.
void useStraightforwardScene(ParticleSystem &system);
