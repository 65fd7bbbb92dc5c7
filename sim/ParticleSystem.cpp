#include "sim/ParticleSystem.h"

#include "grid/SpatialHashGrid.h"
#include "sim/Constants.h"

#include <cstddef>
#include <limits>
#include <new>

std::size_t particleArrayBytes(int32_t capacity) {
    if (capacity <= 0) return 0;
    const std::size_t count = static_cast<std::size_t>(capacity);
    const std::size_t limit = static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());
    if (count > limit / sizeof(Particle)) return 0;
    return count * sizeof(Particle);
}

ParticleSystem::ParticleSystem(int32_t particleCapacity, float stepLength)
    : particles(nullptr),
      capacity(particleCapacity),
      activeCount(0),
      generators{nullptr, nullptr, nullptr},
      timeStep(stepLength),
      grid(nullptr),
      generatorCount(0),
      nextGenerator(0),
      packedPositions(nullptr),
      bucketPositions(nullptr),
      notifyNode(nullptr),
      stepCount(0) {
    if (particleArrayBytes(capacity) != 0) {
        particles = new (std::nothrow) Particle[static_cast<std::size_t>(capacity)];
        if (particles != nullptr) {
            for (int32_t i = 0; i < capacity; ++i) {
                Particle &p = particles[i];
                p.mass = 0.0f;
                p.position.setValue(0.0f, 0.0f, 0.0f);
                p.velocity.setValue(0.0f, 0.0f, 0.0f);
                p.force.setValue(0.0f, 0.0f, 0.0f);
                p.lifetime = 0.0f;
                p.separator = nullptr;
                p.transform = nullptr;
            }
        }
    }
    grid = new (std::nothrow) SpatialHashGrid(kGridCellSize);
    if (particles == nullptr) return;
    const std::size_t n = static_cast<std::size_t>(capacity);
    packedPositions = new (std::nothrow) PackedPosition[n];
    BucketPositions *order = new (std::nothrow) BucketPositions;
    if (order == nullptr) return;
    // One block of floats for x, y and z, each with 8 slots of slack that a
    // vector load past the last entry may read.
    const std::size_t slots = n + 8;
    float *coordinates = new (std::nothrow) float[3 * slots]();
    int32_t *slot = new (std::nothrow) int32_t[n];
    if (coordinates == nullptr || slot == nullptr) {
        delete[] coordinates;
        delete[] slot;
        delete order;
        return;
    }
    for (int32_t b = 0; b < kBucketCount; ++b) order->start[b] = 0;
    for (std::size_t i = 0; i < n; ++i) slot[i] = -1;
    order->x = coordinates;
    order->y = coordinates + slots;
    order->z = coordinates + 2 * slots;
    order->slot = slot;
    bucketPositions = order;
}

ParticleSystem::~ParticleSystem() {
    if (bucketPositions != nullptr) {
        delete[] bucketPositions->x;   // the block of all three
        delete[] bucketPositions->slot;
        delete bucketPositions;
    }
    delete[] packedPositions;
    delete grid;
    delete[] particles;
}

void ParticleSystem::addGenerator(Generator *generator) {
    if (generatorCount < kMaxGenerators) generators[generatorCount++] = generator;
}
