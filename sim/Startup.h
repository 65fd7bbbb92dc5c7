#pragma once
// The start-up of the fire, shared by the program and the headless tool, as
// one function per start-up step so that the program's main reads in order.
// Needs SoDB initialised (the toolkit's init does it; headless callers call
// SoDB::init themselves).

#include <cstddef>
#include <cstdint>

class SoNode;
class SoSeparator;
class SoSphere;
struct Generator;
struct ParticleSystem;

constexpr int32_t kDefaultGenerators = 1;
constexpr int32_t kDefaultParticles = 400;
constexpr int32_t kMinParticles = 300;

// Root of the scene, referenced once, holding the shape hints.
SoSeparator *createRoot();

// Bytes the particle records and their scene nodes take for numParticles, or
// 0 when that does not fit in size_t.
std::size_t fireMemoryBytes(int32_t numParticles);

// The particle system with numParticles slots and time step 0.5, or null when
// the machine does not have the memory for the particles and their nodes.
// Nothing large is allocated when it returns null.
ParticleSystem *createParticleSystem(int32_t numParticles);

// The generator layout for 1, 2 or 3 generators: each constructed, appended
// to root and registered, the origin one last. Returns the origin generator.
// Requires numGenerators in 1 .. 3.
Generator *createGenerators(int32_t numGenerators, SoSeparator *root, ParticleSystem &system);

struct ParticleGroup {
    SoSeparator *group;    // held by root
    SoSphere *sphere;      // held by every particle's separator
};

// particleGroup with its complexity and material, appended to root; the
// shared particleSphere, not yet a child of anything.
ParticleGroup createParticleGroup(SoSeparator *root);

// Emits every particle once in index order, each given its separator and
// transform right after its emission. The translation fields notify nothing
// when written, and the particle separators keep no render or bounding-box
// cache (their content changes every step, and a cache would go stale
// without the notification).
void emitAllParticles(ParticleSystem &system, const ParticleGroup &particleGroup);

// ceil(capacity / 10) passes, each raising activeCount by 10 (never past
// capacity) and then stepping once.
void warmUp(ParticleSystem &system);

// From now on every step touches node once at its end (the particles' own
// writes notify nothing): a viewer of node redraws once per step. Called after
// the warm-up, which nothing watches.
void notifyAfterEachStep(ParticleSystem &system, SoNode *node);

// Start-up steps 2 to 6 in one call, for the headless tool and the tests.
// On success root is referenced; the caller unrefs it. system is null when
// memory was lacking (nothing else was built then but root).
struct Fire {
    SoSeparator *root;
    ParticleSystem *system;      // owned by the caller
    Generator *steered;          // the origin generator; owned by the caller
    Generator *generators[3];    // in creation order; owned by the caller
    int32_t generatorCount;
    ParticleGroup particleGroup;
};
Fire startFire(int32_t numGenerators, int32_t numParticles);
