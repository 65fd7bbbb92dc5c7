#include "grid/SpatialHashGrid.h"
#include "sim/ParticleSystem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TEST(ParticleSystem, NewSystemIsZeroed) {
    ParticleSystem system(400, 0.5f);
    ASSERT_NE(system.particles, nullptr);
    ASSERT_NE(system.grid, nullptr);
    EXPECT_EQ(system.capacity, 400);
    EXPECT_EQ(system.activeCount, 0);
    EXPECT_EQ(system.timeStep, 0.5f);
    EXPECT_EQ(system.grid->cellSize, 7.0f);
    EXPECT_EQ(system.generatorCount, 0);
    EXPECT_EQ(system.nextGenerator, 0);
    for (Generator *g : system.generators) EXPECT_EQ(g, nullptr);
    for (int32_t i = 0; i < system.capacity; ++i) {
        const Particle &p = system.particles[i];
        EXPECT_EQ(p.mass, 0.0f);
        EXPECT_EQ(p.position, SbVec3f(0, 0, 0));
        EXPECT_EQ(p.velocity, SbVec3f(0, 0, 0));
        EXPECT_EQ(p.force, SbVec3f(0, 0, 0));
        EXPECT_EQ(p.lifetime, 0.0f);
        EXPECT_EQ(p.separator, nullptr);
        EXPECT_EQ(p.transform, nullptr);
    }
}

TEST(ParticleSystem, FourthGeneratorIsIgnored) {
    ParticleSystem system(300, 0.5f);
    Generator *fake[4] = {reinterpret_cast<Generator *>(0x10), reinterpret_cast<Generator *>(0x20),
                          reinterpret_cast<Generator *>(0x30), reinterpret_cast<Generator *>(0x40)};
    for (Generator *g : fake) system.addGenerator(g);
    EXPECT_EQ(system.generatorCount, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(system.generators[i], fake[i]);
}

TEST(ParticleSystem, ArrayByteSizeNeverOverflows) {
    EXPECT_EQ(particleArrayBytes(0), 0u);
    EXPECT_EQ(particleArrayBytes(-5), 0u);
    EXPECT_EQ(particleArrayBytes(400), 400u * sizeof(Particle));
    const int32_t most = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(particleArrayBytes(most), static_cast<std::size_t>(most) * sizeof(Particle));
}

TEST(ParticleSystem, CapacityOfZeroOrLessAllocatesNoRecords) {
    for (int32_t capacity : {0, -1, std::numeric_limits<int32_t>::min()}) {
        ParticleSystem system(capacity, 0.5f);
        EXPECT_EQ(system.particles, nullptr);
        ASSERT_NE(system.grid, nullptr);
        system.step();   // activeCount 0: only clears the grid
        EXPECT_EQ(system.grid->queryNeighbours(0, 0, 0), 0);
    }
}

}  // namespace
