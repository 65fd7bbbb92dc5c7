#include "generator/Generator.h"
#include "grid/SpatialHashGrid.h"
#include "random_support.h"
#include "sim/ParticleSystem.h"
#include "sim/Startup.h"

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoSphere.h>
#include <Inventor/nodes/SoTransform.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace {

class StartupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SoDB::init(); }
    void SetUp() override { resetRandomState(); }
    void release(Fire &fire) {
        fire.root->unref();
        delete fire.system;
        for (int32_t g = 0; g < fire.generatorCount; ++g) delete fire.generators[g];
    }
};

TEST_F(StartupTest, GeneratorLayoutAndFirstEmitters) {
    struct Case {
        int32_t generators;
        std::vector<float> registeredX;   // generators[], in registration order
        std::vector<float> firstEmitterX; // generator of particles 0, 1, 2, ...
    };
    const Case cases[] = {
        {1, {0}, {0, 0, 0}},
        {2, {20, 0}, {0, 20, 0, 20}},
        {3, {-20, 20, 0}, {20, 0, -20, 20, 0, -20}},
    };
    for (const Case &c : cases) {
        resetRandomState();
        SoSeparator *root = createRoot();
        ParticleSystem *system = createParticleSystem(300);
        ASSERT_NE(system, nullptr);
        Generator *steered = createGenerators(c.generators, root, *system);
        ASSERT_EQ(system->generatorCount, c.generators);
        EXPECT_EQ(steered, system->generators[c.generators - 1]);
        EXPECT_EQ(steered->getX(), 0.0f);
        for (int32_t g = 0; g < c.generators; ++g) {
            EXPECT_EQ(system->generators[g]->getX(), c.registeredX[g]);
            EXPECT_EQ(root->getChild(1 + g), static_cast<SoNode *>(system->generators[g]->separator));
        }
        const ParticleGroup group = createParticleGroup(root);
        emitAllParticles(*system, group);
        for (std::size_t i = 0; i < c.firstEmitterX.size(); ++i) {
            const SbVec3f &p = system->particles[i].position;
            EXPECT_NEAR((p - SbVec3f(c.firstEmitterX[i], 0, 0)).length(), 4.5f, 1e-4f)
                << c.generators << " generators, particle " << i;
        }
        EXPECT_EQ(system->nextGenerator, 300 % c.generators);
        EXPECT_EQ(system->activeCount, 0);
        root->unref();
        for (int32_t g = 0; g < system->generatorCount; ++g) delete system->generators[g];
        delete system;
    }
}

TEST_F(StartupTest, WarmUpActivatesEveryParticleAndNeverPassesCapacity) {
    for (int32_t n : {300, 305, 400, 999}) {
        resetRandomState();
        SoSeparator *root = createRoot();
        ParticleSystem *system = createParticleSystem(n);
        ASSERT_NE(system, nullptr);
        Generator *g = createGenerators(1, root, *system);
        emitAllParticles(*system, createParticleGroup(root));
        warmUp(*system);
        EXPECT_EQ(system->activeCount, n);
        const Particle &last = system->particles[n - 1];   // stepped by the last pass
        EXPECT_EQ(last.transform->translation.getValue(), last.position) << n;
        EXPECT_NE(last.position, SbVec3f(0, 0, 0));
        root->unref();
        delete g;
        delete system;
    }
}

TEST_F(StartupTest, WarmUpPassCountFollowsCapacity) {
    // A particle activated in the last pass has been stepped exactly once.
    for (auto [n, lastPassStart] : {std::pair<int32_t, int32_t>{300, 290}, {305, 300}, {400, 390}}) {
        resetRandomState();
        SoSeparator *root = createRoot();
        ParticleSystem *system = createParticleSystem(n);
        Generator *g = createGenerators(1, root, *system);
        emitAllParticles(*system, createParticleGroup(root));
        std::vector<float> emitted;
        for (int32_t i = 0; i < n; ++i) emitted.push_back(system->particles[i].lifetime);
        warmUp(*system);
        for (int32_t i = lastPassStart; i < n; ++i)
            EXPECT_EQ(system->particles[i].lifetime, emitted[i] - 0.5f) << n << " " << i;
        EXPECT_EQ(system->particles[lastPassStart - 1].lifetime, emitted[lastPassStart - 1] - 1.0f);
        root->unref();
        delete g;
        delete system;
    }
}

TEST_F(StartupTest, SceneNodesOfEveryParticle) {
    Fire fire = startFire(2, 310);
    ASSERT_NE(fire.system, nullptr);
    SoSeparator *group = fire.particleGroup.group;
    EXPECT_EQ(fire.root->getNumChildren(), 2 + 2);   // hints, 2 generators, particleGroup
    EXPECT_EQ(fire.root->getChild(3), static_cast<SoNode *>(group));
    ASSERT_EQ(group->getNumChildren(), 310 + 2);
    for (int32_t i = 0; i < 310; ++i) {
        const Particle &p = fire.system->particles[i];
        EXPECT_EQ(group->getChild(2 + i), static_cast<SoNode *>(p.separator));
        ASSERT_EQ(p.separator->getNumChildren(), 2);
        EXPECT_EQ(p.separator->getChild(0), static_cast<SoNode *>(p.transform));
        EXPECT_EQ(p.separator->getChild(1), static_cast<SoNode *>(fire.particleGroup.sphere));
        EXPECT_EQ(p.transform->translation.getValue(), p.position);
    }
    release(fire);
}

TEST_F(StartupTest, MemoryEstimateNeverOverflowsAndRefusesTheImpossible) {
    EXPECT_EQ(fireMemoryBytes(0), 0u);
    EXPECT_GT(fireMemoryBytes(400), 400u * sizeof(Particle));
    EXPECT_GT(fireMemoryBytes(2147483647), 2147483647ull * sizeof(Particle));
    EXPECT_EQ(createParticleSystem(2147483647), nullptr);   // hundreds of GiB
}

uint64_t digest(const ParticleSystem &system) {
    uint64_t h = 1469598103934665603ull;
    for (int32_t i = 0; i < system.capacity; ++i) {
        const Particle &p = system.particles[i];
        const float fields[] = {p.position[0], p.position[1], p.position[2], p.velocity[0],
                                p.velocity[1], p.velocity[2], p.force[0],    p.force[1],
                                p.force[2],    p.mass,        p.lifetime};
        for (float f : fields) {
            uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            h = (h ^ bits) * 1099511628211ull;
        }
    }
    return h;
}

TEST_F(StartupTest, SameStartUpAndStepsGiveIdenticalParticles) {
    uint64_t runs[2];
    for (uint64_t &run : runs) {
        resetRandomState();
        Fire fire = startFire(3, 600);
        ASSERT_NE(fire.system, nullptr);
        for (int s = 0; s < 200; ++s) fire.system->step();
        run = digest(*fire.system);
        for (int32_t i = 0; i < fire.system->capacity; ++i) {
            const Particle &p = fire.system->particles[i];
            ASSERT_TRUE(std::isfinite(p.position[0]) && std::isfinite(p.position[1]) &&
                        std::isfinite(p.position[2]));
        }
        release(fire);
    }
    EXPECT_EQ(runs[0], runs[1]);
}

}  // namespace

namespace {

// A known result of a fixed run, pinned: any change to the arithmetic, the
// order of the steps or the random stream shows here. Recompute only for a
// deliberate change of behaviour, never to make a faster step pass.
TEST_F(StartupTest, KnownResultOfAFixedRun) {
    struct Case {
        int32_t generators, particles, steps;
        uint64_t digest;
    };
    const Case cases[] = {
        {1, 400, 0, 0x6c456d6cc3c88352ull},
        {1, 400, 100, 0xe452dc118581d0beull},
        {3, 1000, 50, 0x2fdbcee5a7887188ull},
    };
    for (const Case &c : cases) {
        resetRandomState();
        Fire fire = startFire(c.generators, c.particles);
        ASSERT_NE(fire.system, nullptr);
        for (int32_t s = 0; s < c.steps; ++s) onTimer(fire.system, nullptr);
        EXPECT_EQ(digest(*fire.system), c.digest)
            << c.generators << " " << c.particles << " " << c.steps << std::hex << " 0x"
            << digest(*fire.system);
        release(fire);
    }
}

}  // namespace
