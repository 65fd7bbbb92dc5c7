#include "sim/Startup.h"

#include "generator/Generator.h"
#include "sim/Constants.h"
#include "sim/ParticleSystem.h"

#include <Inventor/nodes/SoComplexity.h>
#include <Inventor/nodes/SoMaterial.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoShapeHints.h>
#include <Inventor/nodes/SoSphere.h>
#include <Inventor/nodes/SoTransform.h>

#include <unistd.h>

#include <cstdio>
#include <limits>
#include <new>

namespace {

// Every generator of the layout differs only in its position.
constexpr float kGeneratorDirection[3] = {0.0f, 1.0f, 0.0f};
constexpr float kGeneratorSpread = 2.5f;     // radians
constexpr float kGeneratorMinSpeed = 0.5f;   // world units per time unit
constexpr float kGeneratorMaxSpeed = 1.0f;
constexpr float kSideGeneratorX = 20.0f;

// Heap taken by one particle's SoSeparator and SoTransform with their fields
// and the child-list entries, measured on Coin 4 and rounded up generously.
constexpr std::size_t kNodeBytesPerParticle = 2048;

// Bytes this process may still take: the smaller of the memory available on
// the machine and the address-space limit, if one is set.
std::size_t availableBytes() {
    std::size_t available = std::numeric_limits<std::size_t>::max();
    if (std::FILE *meminfo = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        unsigned long long kib = 0;
        while (std::fgets(line, sizeof line, meminfo) != nullptr) {
            if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
                available = static_cast<std::size_t>(kib) * 1024u;
                break;
            }
        }
        std::fclose(meminfo);
    }
    if (available == std::numeric_limits<std::size_t>::max()) {
        const long pages = sysconf(_SC_AVPHYS_PAGES);
        const long pageSize = sysconf(_SC_PAGESIZE);
        if (pages > 0 && pageSize > 0)
            available = static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize);
    }
    return available;
}

Generator *addLayoutGenerator(float x, SoSeparator *root, ParticleSystem &system) {
    Generator *generator = new Generator(x, 0.0f, 0.0f, kGeneratorDirection[0], kGeneratorDirection[1],
                                         kGeneratorDirection[2], kGeneratorSpread,
                                         kGeneratorMinSpeed, kGeneratorMaxSpeed);
    root->addChild(generator->separator);
    system.addGenerator(generator);
    return generator;
}

}  // namespace

SoSeparator *createRoot() {
    SoSeparator *root = new SoSeparator;
    root->ref();
    SoShapeHints *hints = new SoShapeHints;
    hints->vertexOrdering = SoShapeHints::COUNTERCLOCKWISE;
    hints->shapeType = SoShapeHints::SOLID;
    root->addChild(hints);
    return root;
}

std::size_t fireMemoryBytes(int32_t numParticles) {
    const std::size_t records = particleArrayBytes(numParticles);
    if (records == 0) return 0;
    const std::size_t count = static_cast<std::size_t>(numParticles);
    if (count > (std::numeric_limits<std::size_t>::max() - records) / kNodeBytesPerParticle) return 0;
    return records + count * kNodeBytesPerParticle;
}

ParticleSystem *createParticleSystem(int32_t numParticles) {
    const std::size_t needed = fireMemoryBytes(numParticles);
    if (needed == 0 || needed > availableBytes()) return nullptr;
    ParticleSystem *system = new (std::nothrow) ParticleSystem(numParticles, kTimeStep);
    if (system == nullptr) return nullptr;
    if (system->particles == nullptr || system->grid == nullptr || system->packedPositions == nullptr ||
        system->bucketPositions == nullptr) {
        delete system;
        return nullptr;
    }
    return system;
}

Generator *createGenerators(int32_t numGenerators, SoSeparator *root, ParticleSystem &system) {
    if (numGenerators >= 3) addLayoutGenerator(-kSideGeneratorX, root, system);
    if (numGenerators >= 2) addLayoutGenerator(kSideGeneratorX, root, system);
    return addLayoutGenerator(0.0f, root, system);
}

ParticleGroup createParticleGroup(SoSeparator *root) {
    ParticleGroup result;
    result.group = new SoSeparator;
    root->addChild(result.group);

    SoComplexity *complexity = new SoComplexity;
    complexity->value = 0.1f;
    result.group->addChild(complexity);

    result.sphere = new SoSphere;
    result.sphere->radius = 2.0f;

    SoMaterial *material = new SoMaterial;
    material->diffuseColor.setValue(1.0f, 0.3f, 0.0f);
    material->transparency = 0.6f;
    result.group->addChild(material);
    return result;
}

void emitAllParticles(ParticleSystem &system, const ParticleGroup &particleGroup) {
    for (int32_t i = 0; i < system.capacity; ++i) {
        Particle &particle = system.particles[i];
        system.respawn(particle);

        particle.separator = new SoSeparator;
        particle.separator->renderCaching = SoSeparator::OFF;
        particle.separator->boundingBoxCaching = SoSeparator::OFF;
        particleGroup.group->addChild(particle.separator);
        particle.transform = new SoTransform;
        particle.transform->translation.enableNotify(FALSE);
        particle.separator->addChild(particle.transform);
        particle.separator->addChild(particleGroup.sphere);
    }
}

void warmUp(ParticleSystem &system) {
    const int32_t passes = system.capacity / kWarmUpBatch + (system.capacity % kWarmUpBatch != 0);
    for (int32_t pass = 0; pass < passes; ++pass) {
        const int32_t room = system.capacity - system.activeCount;
        system.activeCount += room < kWarmUpBatch ? room : kWarmUpBatch;
        system.step();
    }
}

void notifyAfterEachStep(ParticleSystem &system, SoNode *node) { system.notifyNode = node; }

Fire startFire(int32_t numGenerators, int32_t numParticles) {
    Fire fire{};
    fire.root = createRoot();
    fire.system = createParticleSystem(numParticles);
    if (fire.system == nullptr) return fire;
    fire.steered = createGenerators(numGenerators, fire.root, *fire.system);
    fire.generatorCount = fire.system->generatorCount;
    for (int32_t g = 0; g < fire.generatorCount; ++g) fire.generators[g] = fire.system->generators[g];
    fire.particleGroup = createParticleGroup(fire.root);
    emitAllParticles(*fire.system, fire.particleGroup);
    warmUp(*fire.system);
    notifyAfterEachStep(*fire.system, fire.particleGroup.group);
    return fire;
}
