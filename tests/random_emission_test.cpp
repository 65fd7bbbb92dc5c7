#include "generator/Generator.h"
#include "random_support.h"
#include "sim/Constants.h"
#include "sim/ParticleSystem.h"
#include "sim/Random.h"

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoSeparator.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

uint32_t bitsOf(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

TEST(RandomScales, AreTheStoredSinglePrecisionValues) {
    EXPECT_EQ(bitsOf(kUnitScale), 0x38000100u);
    EXPECT_EQ(static_cast<double>(kUnitScale), 32769.0 * std::ldexp(1.0, -30));
    EXPECT_EQ(bitsOf(kAzimuthScale), 0x39490FE8u);
    EXPECT_EQ(bitsOf(kLifetimeScale), 0x38800100u);
    EXPECT_EQ(kLifetimeScale, 2.0f * kUnitScale);
}

class RandomTest : public ::testing::Test {
protected:
    void SetUp() override { resetRandomState(); }
};

TEST_F(RandomTest, SequenceFromTheFreshState) {
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int32_t value : expected) EXPECT_EQ(randomInt(), value);
}

TEST_F(RandomTest, DrawsStayInFifteenBits) {
    for (int i = 0; i < 100000; ++i) {
        const int32_t r = randomInt();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
}

TEST_F(RandomTest, ExtremeDrawsGiveTheEndsOfTheRange) {
    struct Case {
        int32_t draw;
        float a, b, range, unit;
    };
    const Case cases[] = {
        {0, -2.5f, 2.5f, -2.5f, 0.0f},
        {32767, -2.5f, 2.5f, 2.5f, 1.0f},   // falls short of b by (b-a)*2^-30, rounds to b
        {0, 0.5f, 1.0f, 0.5f, 0.0f},
        {32767, 0.5f, 1.0f, 1.0f, 1.0f},
        {32767, 3.0f, 3.0f, 3.0f, 1.0f},
    };
    for (const Case &c : cases) {
        random_detail::randomState = stateWithDrawAt(1, c.draw);
        EXPECT_EQ(randomRange(c.a, c.b), c.range) << c.draw << " " << c.a << " " << c.b;
        random_detail::randomState = stateWithDrawAt(1, c.draw);
        EXPECT_EQ(randomUnit(), c.unit);
    }
    // randomRange's order: a + (draw * (b - a)) * scale, in double.
    random_detail::randomState = stateWithDrawAt(1, 12345);
    const float expected =
        static_cast<float>(-1.25 + (12345.0 * (7.75 - -1.25)) * static_cast<double>(kUnitScale));
    EXPECT_EQ(randomRange(-1.25f, 7.75f), expected);
}

class EmissionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SoDB::init(); }
    void SetUp() override { resetRandomState(); }
    Generator *makeGenerator(float x, float spread = 2.5f, float lo = 0.5f, float hi = 1.0f) {
        auto *g = new Generator(x, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, spread, lo, hi);
        g->separator->ref();
        owned.emplace_back(g);
        return g;
    }
    void TearDown() override {
        for (auto &g : owned) g->separator->unref();
    }
    std::vector<std::unique_ptr<Generator>> owned;
};

TEST_F(EmissionTest, FirstEmissionOfARun) {
    Generator *g = makeGenerator(0.0f);
    Particle p{};
    emitParticle(p, *g);
    EXPECT_FLOAT_EQ(p.mass, 5.0f);
    // Draws 41, 18467, 6334, 26500.
    const float theta = static_cast<float>(-2.5 + (41.0 * 5.0) * static_cast<double>(kUnitScale));
    EXPECT_FLOAT_EQ(theta, -2.4937437f);
    const float speed = static_cast<float>(0.5 + (6334.0 * 0.5) * static_cast<double>(kUnitScale));
    EXPECT_FLOAT_EQ(speed, 0.5966521f);
    EXPECT_EQ(p.lifetime, static_cast<float>(8.0 + 26500.0 * static_cast<double>(kLifetimeScale)));
    EXPECT_FLOAT_EQ(p.lifetime, 9.617481f);
    EXPECT_NEAR(p.velocity.length(), speed, 1e-6f);
    // 4.5 from the centre, at |theta| from the +Y axis.
    EXPECT_NEAR(p.position.length(), 4.5f, 1e-5f);
    EXPECT_NEAR(std::acos(p.position[1] / p.position.length()), 2.4937437f, 1e-5f);
    EXPECT_EQ(randomInt(), 19169);   // exactly four draws were taken
}

TEST_F(EmissionTest, FirstEmissionBitsArePinned) {
    // The whole record of the first emission, as this machine computes it.
    Generator *g = makeGenerator(0.0f);
    Particle p{};
    emitParticle(p, *g);
    const float theta = -2.4937437f;
    const double phi = 18467.0 * static_cast<double>(kAzimuthScale);
    SbVec3f d(static_cast<float>(std::sin(static_cast<double>(theta)) * std::cos(phi)),
              static_cast<float>(std::sin(static_cast<double>(theta)) * std::sin(phi)),
              static_cast<float>(std::cos(static_cast<double>(theta))));
    g->orientation.multVec(d, d);
    EXPECT_EQ(p.position[0], static_cast<float>(4.5 * d[0]));
    EXPECT_EQ(p.position[1], static_cast<float>(4.5 * d[1]));
    EXPECT_EQ(p.position[2], static_cast<float>(4.5 * d[2]));
    EXPECT_EQ(p.velocity[0], d[0] * 0.5966521f);
    EXPECT_EQ(p.velocity[1], d[1] * 0.5966521f);
    EXPECT_EQ(p.velocity[2], d[2] * 0.5966521f);
}

TEST_F(EmissionTest, ExtremeDrawsAtEachPosition) {
    Generator *g = makeGenerator(0.0f);
    // First draw: the polar angle at -spread or +spread.
    for (int32_t draw : {0, 32767}) {
        random_detail::randomState = stateWithDrawAt(1, draw);
        Particle p{};
        emitParticle(p, *g);
        EXPECT_NEAR(std::acos(p.position[1] / 4.5f), 2.5f, 1e-5f);
    }
    // Second draw 0: azimuth 0 keeps d in the local x-z plane, which the
    // quarter turn about -X takes onto the world x-y plane.
    random_detail::randomState = stateWithDrawAt(2, 0);
    {
        Particle p{};
        emitParticle(p, *g);
        EXPECT_NEAR(p.position[2], 0.0f, 1e-6f);
    }
    // Third draw: the speed at minSpeed or maxSpeed.
    for (auto [draw, speed] : {std::pair<int32_t, float>{0, 0.5f}, {32767, 1.0f}}) {
        random_detail::randomState = stateWithDrawAt(3, draw);
        Particle p{};
        emitParticle(p, *g);
        EXPECT_NEAR(p.velocity.length(), speed, 1e-6f);
    }
    // Fourth draw: the lifetime at 8.0 or, after rounding, 10.0.
    for (auto [draw, lifetime] : {std::pair<int32_t, float>{0, 8.0f}, {32767, 10.0f}}) {
        random_detail::randomState = stateWithDrawAt(4, draw);
        Particle p{};
        emitParticle(p, *g);
        EXPECT_EQ(p.lifetime, lifetime);
    }
}

TEST_F(EmissionTest, NoSpreadLeavesAlongTheDirectionAndStillDrawsFour) {
    Generator *g = makeGenerator(10.0f, 0.0f, 0.75f, 0.75f);
    for (int k = 0; k < 5; ++k) {
        Particle p{};
        emitParticle(p, *g);
        EXPECT_NEAR(p.position[0], 10.0f, 1e-6f);
        EXPECT_NEAR(p.position[1], 4.5f, 1e-6f);
        EXPECT_NEAR(p.position[2], 0.0f, 1e-6f);
        EXPECT_NEAR(p.velocity[1], 0.75f, 1e-6f);
        EXPECT_NEAR(p.velocity.length(), 0.75f, 1e-6f);
    }
    const int32_t next = randomInt();
    resetRandomState();
    for (int k = 0; k < 20; ++k) randomInt();
    EXPECT_EQ(next, randomInt());   // 5 emissions took exactly 20 draws
}

TEST_F(EmissionTest, EmissionKeepsForceAndNodes) {
    Generator *g = makeGenerator(0.0f);
    Particle p{};
    p.force.setValue(1.0f, -2.0f, 3.0f);
    p.separator = reinterpret_cast<SoSeparator *>(0x10);
    p.transform = reinterpret_cast<SoTransform *>(0x20);
    emitParticle(p, *g);
    EXPECT_EQ(p.force, SbVec3f(1.0f, -2.0f, 3.0f));
    EXPECT_EQ(p.separator, reinterpret_cast<SoSeparator *>(0x10));
    EXPECT_EQ(p.transform, reinterpret_cast<SoTransform *>(0x20));
}

TEST_F(EmissionTest, RespawnTakesTheGeneratorsInTurn) {
    struct Case {
        int generators;
        std::vector<float> usedX;   // generator x of emissions 1, 2, 3, ...
    };
    // Registered as start-up registers them: the origin last.
    const Case cases[] = {
        {1, {0, 0, 0, 0}},
        {2, {0, 20, 0, 20, 0}},
        {3, {20, 0, -20, 20, 0, -20, 20}},
    };
    for (const Case &c : cases) {
        ParticleSystem system(300, 0.5f);
        if (c.generators == 3) system.addGenerator(makeGenerator(-20.0f, 0.0f));
        if (c.generators >= 2) system.addGenerator(makeGenerator(20.0f, 0.0f));
        system.addGenerator(makeGenerator(0.0f, 0.0f));
        for (float x : c.usedX) {
            Particle p{};
            system.respawn(p);
            EXPECT_NEAR(p.position[0], x, 1e-5f) << c.generators << " generators";
            EXPECT_GE(system.nextGenerator, 0);
            EXPECT_LT(system.nextGenerator, c.generators);
        }
    }
}

TEST_F(EmissionTest, MovedGeneratorEmitsAroundItsNewPlace) {
    Generator *g = makeGenerator(0.0f, 0.0f);
    g->setPosition(100000.0f, -5.0f, 7.0f);
    Particle p{};
    emitParticle(p, *g);
    EXPECT_NEAR(p.position[0], 100000.0f, 0.01f);
    EXPECT_NEAR(p.position[1], -0.5f, 1e-5f);
    EXPECT_NEAR(p.position[2], 7.0f, 1e-5f);
}

}  // namespace
