// Fuzzes the step (and through it the pair force, the grid and emission) on
// arbitrary particle states: any floats in position, velocity, force, mass and
// lifetime, coincident particles, any active count and generator positions.
// Besides the sanitizers it checks what the step promises its callers:
//   - records at activeCount and above, and every count, are left untouched;
//   - each active force is clamped per axis (or not a number, which passes);
//   - an attached transform shows the particle's new position;
//   - the grid holds only active indices and no bucket passes 40;
//   - the same state and random state give bit-identical results.

#include "generator/Generator.h"
#include "grid/SpatialHashGrid.h"
#include "sim/ParticleSystem.h"
#include "sim/RandomState.h"
#include "tests/fuzz/FuzzInput.h"

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kMaxCapacity = 48;

void fail(const char *what) {
    std::fprintf(stderr, "step invariant broken: %s\n", what);
    std::abort();
}

// Built once: Coin nodes are reference counted and live for the whole run.
struct Scene {
    Generator *generators[kMaxGenerators];   // owned here, never freed
    SoTransform *transforms[kMaxCapacity];   // one reference each, held here
};

Scene &scene() {
    static Scene *s = [] {
        SoDB::init();
        Scene *made = new Scene;
        for (int32_t g = 0; g < kMaxGenerators; ++g) {
            made->generators[g] = new Generator(0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 2.5f, 0.5f, 1.0f);
            made->generators[g]->separator->ref();
        }
        for (int32_t i = 0; i < kMaxCapacity; ++i) {
            made->transforms[i] = new SoTransform;
            made->transforms[i]->ref();
        }
        return made;
    }();
    return *s;
}

bool clampedOrNaN(float value, float low, float high) {
    return std::isnan(value) || (value >= low && value <= high);
}

bool sameBits(const void *a, const void *b, std::size_t n) { return std::memcmp(a, b, n) == 0; }

struct Setup {
    int32_t capacity;
    int32_t activeCount;
    int32_t generatorCount;
    int32_t nextGenerator;
    float timeStep;
    uint32_t randomState;
    int32_t steps;
    std::vector<Particle> particles;
};

ParticleSystem *build(const Setup &setup) {
    ParticleSystem *system = new ParticleSystem(setup.capacity, setup.timeStep);
    if (system->particles == nullptr || system->grid == nullptr) fail("small system not allocated");
    for (int32_t g = 0; g < setup.generatorCount; ++g) system->addGenerator(scene().generators[g]);
    system->nextGenerator = setup.nextGenerator;
    system->activeCount = setup.activeCount;
    std::memcpy(static_cast<void *>(system->particles), setup.particles.data(),
                sizeof(Particle) * static_cast<std::size_t>(setup.capacity));
    return system;
}

void checkAfterStep(const ParticleSystem &system, const Setup &setup) {
    if (system.capacity != setup.capacity || system.activeCount != setup.activeCount ||
        system.generatorCount != setup.generatorCount ||
        !sameBits(&system.timeStep, &setup.timeStep, sizeof(float)))
        fail("a count or the time step changed");
    if (system.nextGenerator < 0 || system.nextGenerator >= system.generatorCount)
        fail("nextGenerator out of range");
    for (int32_t i = system.activeCount; i < system.capacity; ++i)
        if (!sameBits(&system.particles[i], &setup.particles[static_cast<std::size_t>(i)], sizeof(Particle)))
            fail("an inactive record changed");
    for (int32_t i = 0; i < system.activeCount; ++i) {
        const Particle &p = system.particles[i];
        const Particle &was = setup.particles[static_cast<std::size_t>(i)];
        if (p.separator != was.separator || p.transform != was.transform) fail("a node reference changed");
        if (!clampedOrNaN(p.force[0], -4.0f, 4.0f) || !clampedOrNaN(p.force[1], -2.0f, 4.0f) ||
            !clampedOrNaN(p.force[2], -4.0f, 4.0f))
            fail("force not clamped");
        if (p.transform != nullptr) {
            const SbVec3f shown = p.transform->translation.getValue();
            if (!sameBits(&shown, &p.position, sizeof shown)) fail("transform does not show the position");
        }
    }
    const SpatialHashGrid &grid = *system.grid;
    for (int32_t b = 0; b < kBucketCount; ++b) {
        const Bucket &bucket = grid.buckets[b];
        if (bucket.count < 0 || bucket.count > kBucketCapacity) fail("bucket count out of range");
        for (int32_t e = 0; e < bucket.count; ++e)
            if (bucket.indices[e] < 0 || bucket.indices[e] >= system.activeCount)
                fail("grid holds an inactive index");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Scene &s = scene();
    FuzzInput in(data, size);

    static const float kDirections[4][3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {0, -1, 0}};
    Setup setup;
    setup.capacity = 1 + in.byte() % kMaxCapacity;
    setup.activeCount = in.byte() % (setup.capacity + 1);
    setup.generatorCount = 1 + in.byte() % kMaxGenerators;
    setup.nextGenerator = in.byte() % setup.generatorCount;
    setup.timeStep = in.byte() < 224 ? 0.5f : in.mixedFloat();
    setup.randomState = in.u32();
    setup.steps = 1 + in.byte() % 4;
    for (int32_t g = 0; g < setup.generatorCount; ++g) {
        Generator &generator = *s.generators[g];
        const float *d = kDirections[in.byte() % 4];
        generator.setDirection(d[0], d[1], d[2]);
        const float x = in.mixedFloat(), y = in.mixedFloat(), z = in.mixedFloat();
        generator.setPosition(x, y, z);
        generator.setSpread(in.byte() < 192 ? 2.5f : in.mixedFloat());
        const bool usual = in.byte() < 192;
        const float low = usual ? 0.5f : in.mixedFloat();
        const float high = usual ? 1.0f : in.mixedFloat();
        generator.setSpeedRange(low, high);
    }

    setup.particles.resize(static_cast<std::size_t>(setup.capacity));
    for (int32_t i = 0; i < setup.capacity; ++i) {
        Particle &p = setup.particles[static_cast<std::size_t>(i)];
        const uint8_t mode = in.byte();
        if ((mode & 3) == 0 && i > 0) {
            p = setup.particles[static_cast<std::size_t>(i) - 1];   // coincident with the previous one
        } else if ((mode & 3) == 1 && i > 0) {
            p = setup.particles[static_cast<std::size_t>(i) - 1];   // close to it, inside the cut-off
            for (int a = 0; a < 3; ++a)
                p.position[a] += static_cast<float>(static_cast<int8_t>(in.byte())) / 16.0f;
        } else {
            for (int a = 0; a < 3; ++a) p.position[a] = in.mixedFloat();
            for (int a = 0; a < 3; ++a) p.velocity[a] = in.mixedFloat();
            for (int a = 0; a < 3; ++a) p.force[a] = in.mixedFloat();
            p.mass = (mode & 4) ? in.mixedFloat() : 5.0f;
            p.lifetime = in.mixedFloat();
        }
        p.separator = nullptr;
        p.transform = (mode & 8) ? s.transforms[i] : nullptr;
    }

    // Two systems from the same state: the second must repeat the first bit for bit.
    ParticleSystem *first = build(setup);
    random_detail::randomState = setup.randomState;
    for (int32_t k = 0; k < setup.steps; ++k) {
        first->step();
        checkAfterStep(*first, setup);
    }
    const uint32_t randomAfter = random_detail::randomState;

    ParticleSystem *second = build(setup);
    random_detail::randomState = setup.randomState;
    for (int32_t k = 0; k < setup.steps; ++k) second->step();
    if (random_detail::randomState != randomAfter || second->nextGenerator != first->nextGenerator ||
        !sameBits(second->particles, first->particles, sizeof(Particle) * static_cast<std::size_t>(setup.capacity)))
        fail("the same state stepped twice gave different results");

    delete second;
    delete first;
    return 0;
}
