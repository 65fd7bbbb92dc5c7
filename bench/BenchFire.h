#pragma once
// A fire as start-up builds it before the warm-up (every particle emitted,
// with its nodes, none active), for benchmarks that time the warm-up and the
// step. Needs SoDB initialised.

#include <cstdint>

class SoSeparator;
class SoNode;
struct Generator;
struct ParticleSystem;

struct BenchFire {
    SoSeparator *root = nullptr;        // one reference of ours
    ParticleSystem *system = nullptr;   // owned
    Generator *generators[3] = {};      // owned
    int32_t generatorCount = 0;
    SoSeparator *particleGroup = nullptr;   // held by root
};

// Restarts the random stream first, so every fire of one size is the same.
BenchFire emittedFire(int32_t generators, int32_t particles);
void releaseFire(BenchFire &fire);

