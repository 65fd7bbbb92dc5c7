#pragma once
// The particle pool and everything one step needs: the active count, the
// registered generators, the time step and the hash grid.

#include "grid/SpatialHashGrid.h"

#include <Inventor/SbVec3f.h>

#include <cstddef>
#include <cstdint>

class SoSensor;
class SoSeparator;
class SoTransform;
struct Generator;
class SoNode;

constexpr int32_t kMaxGenerators = 3;   // a fourth addGenerator is ignored

// A particle's position as the pair force's inner loop reads it: 16 bytes,
// four to a cache line, where a Particle takes a whole line. Kept as floats:
// GCC 12 at -O2 has been seen to store the unrounded double of a position
// update into a double copy, skipping the rounding to float.
struct alignas(16) PackedPosition {
    float x, y, z, unused;
};

// The positions once more, in the grid's bucket order, so that the pair loop
// reads a bucket's candidates from consecutive memory. Rebuilt with the grid
// each step and kept equal to the particles as the step moves them.
struct BucketPositions {
    int32_t start[kBucketCount];   // first slot of each bucket's entries
    float *x, *y, *z;              // owned; capacity + 8 slots each (the last 8 stay 0)
    int32_t *slot;                 // owned; particle i's slot, or -1 when its bucket was full
};

// One pooled particle: 64 bytes.
struct Particle {
    float mass;          // 5.0 once emitted; divides the force
    SbVec3f position;    // world units, y up
    SbVec3f velocity;    // world units per time unit
    SbVec3f force;       // rebuilt by every step; the clamped total after it
    float lifetime;      // time units left; at most 0 means re-emit
    // Non-owning; created by start-up and held by the scene graph. Null until
    // then; the step skips the scene write of a particle without a transform.
    SoSeparator *separator;
    SoTransform *transform;
};
static_assert(sizeof(Particle) == 64, "Particle is a 64-byte hot record");

struct ParticleSystem {
    Particle *particles;     // owned; capacity records, or null if they could not be had
    int32_t capacity;
    int32_t activeCount;     // records 0 .. activeCount-1 are stepped; 0 <= activeCount <= capacity
    Generator *generators[kMaxGenerators];   // not owned; null above generatorCount
    float timeStep;          // time units per step
    SpatialHashGrid *grid;   // owned; null if it could not be had
    int32_t generatorCount;  // 0 .. kMaxGenerators
    int32_t nextGenerator;   // generator of the latest emission
    // Owned; capacity entries, or null if they could not be had. The step's
    // compact copy of the positions: refreshed from particles when the grid
    // is rebuilt and kept equal to them as the step moves each particle.
    PackedPosition *packedPositions;
    // Owned, with its arrays; null if any could not be had.
    BucketPositions *bucketPositions;
    // Not owned; null while nothing is on screen (the warm-up). The particles'
    // translation fields notify nothing when written; the step touches this
    // node once at its end instead, so a viewer redraws once per step.
    SoNode *notifyNode;
    uint64_t stepCount;      // steps taken since construction

    // Zeroes every record. On a failed allocation the pointer stays null and
    // nothing is thrown: the caller checks particles and grid.
    ParticleSystem(int32_t particleCapacity, float stepLength);
    ~ParticleSystem();
    ParticleSystem(const ParticleSystem &) = delete;
    ParticleSystem &operator=(const ParticleSystem &) = delete;

    void addGenerator(Generator *generator);
    // One fixed step of timeStep: rebuild the grid, then update the active
    // particles in index order. Allocates nothing.
    void step();
    // Advances nextGenerator round robin and emits the particle from it.
    // Requires generatorCount >= 1.
    void respawn(Particle &particle);
};

// Byte size of capacity particle records, or 0 when it does not fit in size_t
// (or capacity is not positive).
std::size_t particleArrayBytes(int32_t capacity);

// Limits each force component on its own, x, then y, then z: x and z to
// -4..4, y to -2..4. A value on a limit stays; a not-a-number stays.
void clampForce(SbVec3f &force);

// Adds the pair forces of the grid's neighbours of particle index to its force.
void accumulatePairForces(ParticleSystem &system, int32_t index);

// Re-initialises position, velocity, mass and lifetime from the generator;
// draws exactly four random values. force and the node references are kept.
void emitParticle(Particle &particle, const Generator &generator);

// Timer callback: data is the ParticleSystem; the sensor is ignored.
void onTimer(void *data, SoSensor *sensor);
