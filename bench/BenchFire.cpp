#include "bench/BenchFire.h"

#include "generator/Generator.h"
#include "sim/ParticleSystem.h"
#include "sim/RandomState.h"
#include "sim/Startup.h"

#include <Inventor/nodes/SoSeparator.h>

#include <cstdio>
#include <cstdlib>

BenchFire emittedFire(int32_t generators, int32_t particles) {
    random_detail::randomState = random_detail::kInitialRandomState;
    BenchFire fire;
    fire.root = createRoot();
    fire.system = createParticleSystem(particles);
    if (fire.system == nullptr) {
        std::fprintf(stderr, "bench: not enough memory for %d particles\n", particles);
        std::exit(1);
    }
    createGenerators(generators, fire.root, *fire.system);
    fire.generatorCount = fire.system->generatorCount;
    for (int32_t g = 0; g < fire.generatorCount; ++g) fire.generators[g] = fire.system->generators[g];
    const ParticleGroup group = createParticleGroup(fire.root);
    fire.particleGroup = group.group;
    emitAllParticles(*fire.system, group);
    return fire;
}

void releaseFire(BenchFire &fire) {
    fire.root->unref();
    delete fire.system;
    for (int32_t g = 0; g < fire.generatorCount; ++g) delete fire.generators[g];
    fire = BenchFire{};
}
