#include "sim_fixture.h"
#include "sim/Random.h"

#include <cmath>
#include <limits>

namespace {

using StepTest = SimFixture;

TEST_F(StepTest, EmptySystemOnlyClearsTheGrid) {
    system->grid->insert(7, 0, 0, 0);
    const int32_t i = place(1.0f, 2.0f, 3.0f);
    system->activeCount = 0;
    const SbVec3f before = particle(i).transform->translation.getValue();
    system->step();
    for (const Bucket &b : system->grid->buckets) EXPECT_EQ(b.count, 0);
    EXPECT_EQ(particle(i).position, SbVec3f(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(particle(i).transform->translation.getValue(), before);
}

TEST_F(StepTest, LoneParticleRisesUnderTheUpwardForce) {
    const int32_t i = place(3.0f, 4.0f, 5.0f, 9.0f);
    system->step();
    const Particle &p = particle(i);
    EXPECT_EQ(p.force, SbVec3f(0.0f, 2.0f, 0.0f));
    EXPECT_EQ(p.velocity, SbVec3f(0.0f, 0.2f, 0.0f));
    EXPECT_EQ(p.position, SbVec3f(3.0f, static_cast<float>(0.2 * 0.5 + 4.0), 5.0f));
    EXPECT_EQ(p.position[1], static_cast<float>(static_cast<double>(0.2f) * 0.5 + 4.0));
    EXPECT_EQ(p.lifetime, 8.5f);
    EXPECT_EQ(p.transform->translation.getValue(), p.position);
}

TEST_F(StepTest, ParticleWithoutNodesIsStillStepped) {
    const int32_t i = place(0.0f, 0.0f, 0.0f);
    particle(i).transform = nullptr;
    system->step();
    EXPECT_EQ(particle(i).velocity, SbVec3f(0.0f, 0.2f, 0.0f));
}

TEST_F(StepTest, ExpiryAtZeroNotAtAQuarter) {
    struct Case {
        float lifetime;
        bool reEmittedFirstStep;
    };
    const Case cases[] = {{0.0f, true}, {-0.0f, true}, {-3.0f, true}, {0.25f, false}, {0.5f, false}};
    for (const Case &c : cases) {
        system->activeCount = 0;
        const int32_t i = place(100.0f, 100.0f, 100.0f, c.lifetime);
        system->step();
        const bool reEmitted = particle(i).position.length() < 10.0f;
        EXPECT_EQ(reEmitted, c.reEmittedFirstStep) << c.lifetime;
        if (!c.reEmittedFirstStep) {
            EXPECT_EQ(particle(i).lifetime, c.lifetime - 0.5f);
            system->step();
            EXPECT_LT(particle(i).position.length(), 10.0f) << c.lifetime;
        }
    }
}

TEST_F(StepTest, ReEmittedParticleShowsItsPositionAfterTheUpdate) {
    const int32_t i = place(50.0f, 50.0f, 50.0f, 0.0f);
    system->step();
    const Particle &p = particle(i);
    EXPECT_GE(p.lifetime, 7.5f);
    EXPECT_LE(p.lifetime, 9.5f);
    EXPECT_EQ(p.mass, 5.0f);
    EXPECT_NEAR(p.position.length(), 4.5f, 1.0f);
    EXPECT_EQ(p.transform->translation.getValue(), p.position);
}

TEST_F(StepTest, NotANumberLifetimeNeverExpires) {
    const int32_t i = place(0.0f, 0.0f, 0.0f, std::numeric_limits<float>::quiet_NaN());
    for (int s = 0; s < 30; ++s) system->step();
    EXPECT_TRUE(std::isnan(particle(i).lifetime));
    EXPECT_EQ(system->nextGenerator, 0);
    EXPECT_EQ(randomInt(), 41);   // nothing was emitted
}

TEST_F(StepTest, ClampTable) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        SbVec3f in, out;
    };
    const Case cases[] = {
        {{4.0f, -2.0f, -4.0f}, {4.0f, -2.0f, -4.0f}},   // on the limits: unchanged
        {{4.5f, -2.5f, -4.5f}, {4.0f, -2.0f, -4.0f}},
        {{-3.0f, -3.0f, 0.0f}, {-3.0f, -2.0f, 0.0f}},   // y's lower limit is -2
        {{-4.5f, 4.5f, 4.5f}, {-4.0f, 4.0f, 4.0f}},
        {{1e38f, -1e38f, 0.5f}, {4.0f, -2.0f, 0.5f}},
    };
    for (const Case &c : cases) {
        SbVec3f f = c.in;
        clampForce(f);
        EXPECT_EQ(f, c.out);
    }
    SbVec3f f(nan, nan, std::numeric_limits<float>::infinity());
    clampForce(f);
    EXPECT_TRUE(std::isnan(f[0]));
    EXPECT_TRUE(std::isnan(f[1]));
    EXPECT_EQ(f[2], 4.0f);
}

TEST_F(StepTest, LaterIndexFeelsTheEarlierOneAtItsNewPosition) {
    const int32_t a = place(0.5f, 0.5f, 0.5f);
    const int32_t b = place(3.5f, 0.5f, 0.5f);
    system->step();
    // a saw b at its start-of-step place; b saw a where a had just moved.
    const double kA = 10.0 / std::pow(3.0, 4.0) - 2.5 / std::pow(3.0, 2.0);
    EXPECT_EQ(particle(a).force[0], static_cast<float>(-3.0 * kA));
    const SbVec3f pa = particle(a).position;
    const double dx = 3.5 - static_cast<double>(pa[0]);
    const double dy = 0.5 - static_cast<double>(pa[1]);
    const double d = std::sqrt(dx * dx + dy * dy);
    const double dRounded = static_cast<float>(d);
    const double kB = 10.0 / std::pow(dRounded, 4.0) - 2.5 / std::pow(dRounded, 2.0);
    EXPECT_EQ(particle(b).force[0], static_cast<float>(dx * kB));
    EXPECT_EQ(particle(b).force[1], static_cast<float>(dy * kB + 2.0));
    EXPECT_NE(particle(b).force[0], -particle(a).force[0]);
}

TEST_F(StepTest, FortyFirstInABucketIsFeltByNobody) {
    // Find a far cell in the bucket of cell (0, 0, 0) and fill that bucket first.
    const int32_t target = SpatialHashGrid::hashCell(0, 0, 0);
    int32_t far = 0;
    for (int32_t c = 10; far == 0; ++c)
        if (SpatialHashGrid::hashCell(c, 0, 0) == target) far = c;
    for (int32_t k = 0; k < 40; ++k) place(far * 7.0f + 0.1f * k, 3.0f, 3.0f);
    const int32_t dropped = place(1.0f, 1.0f, 1.0f);   // cell (0, 0, 0): bucket full
    const int32_t probe = place(-2.0f, 1.0f, 1.0f);    // cell (-1, 0, 0), 3.0 away
    system->step();
    EXPECT_EQ(system->grid->buckets[target].count, 40);
    EXPECT_EQ(particle(probe).force, SbVec3f(0.0f, 2.0f, 0.0f));   // did not feel `dropped`
    EXPECT_LT(particle(dropped).force[0], 0.0f);                  // but it felt the probe
}

TEST_F(StepTest, NotANumberParticleReturnsAtItsNextEmission) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const int32_t lost = place(nan, nan, nan, 2.0f);
    const int32_t other = place(0.5f, 0.5f, 0.5f, 9.0f);
    for (int s = 0; s < 4; ++s) {
        system->step();
        EXPECT_TRUE(std::isnan(particle(lost).position[0]));
        EXPECT_EQ(particle(other).force, SbVec3f(0.0f, 2.0f, 0.0f));   // feels nothing from it
    }
    system->step();   // lifetime reached 0: re-emitted, finite again
    for (int axis = 0; axis < 3; ++axis) EXPECT_TRUE(std::isfinite(particle(lost).position[axis]));
}

TEST_F(StepTest, VelocityChangesAtMostByTheClampedForce) {
    // A crowd: every particle within a few units of the others.
    for (int32_t k = 0; k < 120; ++k)
        place(0.3f * (k % 5), 0.3f * ((k / 5) % 5), 0.3f * (k / 25) + 0.01f * k, 9.0f + k % 2);
    for (int s = 0; s < 10; ++s) {
        std::vector<SbVec3f> before;
        for (int32_t i = 0; i < system->activeCount; ++i) before.push_back(particle(i).velocity);
        system->step();
        for (int32_t i = 0; i < system->activeCount; ++i) {
            const SbVec3f dv = particle(i).velocity - before[i];
            if (particle(i).lifetime > 7.0f) continue;   // re-emitted this step
            const float slack = 1e-6f;   // the difference of two rounded velocities
            EXPECT_LE(std::fabs(dv[0]), 0.4f + slack);
            EXPECT_LE(dv[1], 0.4f + slack);
            EXPECT_GE(dv[1], -0.2f - slack);
            EXPECT_LE(std::fabs(dv[2]), 0.4f + slack);
        }
    }
}

}  // namespace
