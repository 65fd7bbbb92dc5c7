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
    if (particles != nullptr)
        packedPositions = new (std::nothrow) PackedPosition[static_cast<std::size_t>(capacity)];
}

ParticleSystem::~ParticleSystem() {
    delete[] packedPositions;
    delete grid;
    delete[] particles;
}

void ParticleSystem::addGenerator(Generator *generator) {
    if (generatorCount < kMaxGenerators) generators[generatorCount++] = generator;
}
