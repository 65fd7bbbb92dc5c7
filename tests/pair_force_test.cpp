#include "sim_fixture.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using PairForceTest = SimFixture;

double factor(float d) {
    return 10.0 / std::pow(static_cast<double>(d), 4.0) - 2.5 / std::pow(static_cast<double>(d), 2.0);
}

TEST_F(PairForceTest, LawAtKnownDistances) {
    struct Case {
        float offset;      // neighbour at p + (offset, 0, 0)
        float expectedX;   // approximate contribution on x
        bool exactZero;
    };
    const float justInside = std::nextafter(7.0f, 0.0f);
    const Case cases[] = {
        {1.0f, -7.5f, false},       // pushed away
        {2.0f, 0.0f, true},         // the two terms cancel exactly
        {3.0f, 0.46296296f, false}, // pulled towards
        {7.0f, 0.0f, true},         // the cut-off itself adds nothing
        {justInside, 0.3279883f, false},
        {12.0f, 0.0f, true},
    };
    for (const Case &c : cases) {
        // Off the origin's cells, where no two of the 27 cells share a bucket
        // along this line: each neighbour is listed once.
        const float base = 0.5f, y = -24.5f;
        system->activeCount = 0;
        const int32_t i = place(base, y, 0.5f);
        const int32_t j = place(base + c.offset, y, 0.5f);
        fillGrid();
        accumulatePairForces(*system, i);
        const int32_t listed = system->grid->queryNeighbours(base, y, 0.5f);
        ASSERT_LE(std::count(system->grid->neighbours, system->grid->neighbours + listed, j), 1);
        const SbVec3f &f = particle(i).force;
        if (c.exactZero) {
            EXPECT_EQ(f[0], 0.0f) << c.offset;
        } else {
            EXPECT_NEAR(f[0], c.expectedX, 1e-5f) << c.offset;
            const double dx = static_cast<double>(base) - static_cast<double>(base + c.offset);
            EXPECT_EQ(f[0], static_cast<float>(dx * factor(std::fabs(static_cast<float>(dx)))));
        }
        EXPECT_EQ(f[1], 0.0f);
        EXPECT_EQ(f[2], 0.0f);
    }
}

TEST_F(PairForceTest, AddsToTheForceInAxisOrder) {
    const int32_t i = place(1.0f, 2.0f, 3.0f);
    place(2.0f, 3.5f, 2.0f);
    particle(i).force.setValue(0.25f, 2.0f, -1.0f);
    fillGrid();
    accumulatePairForces(*system, i);
    const double d = std::sqrt(1.0 + 2.25 + 1.0);
    const double k = factor(static_cast<float>(d));
    EXPECT_EQ(particle(i).force[0], static_cast<float>(-1.0 * k + 0.25));
    EXPECT_EQ(particle(i).force[1], static_cast<float>(-1.5 * k + 2.0));
    EXPECT_EQ(particle(i).force[2], static_cast<float>(1.0 * k + -1.0));
}

TEST_F(PairForceTest, EmptyListOrOnlyItselfLeavesTheForce) {
    const int32_t i = place(0.0f, 0.0f, 0.0f);
    particle(i).force.setValue(0.0f, 2.0f, 0.0f);
    system->grid->clear();
    accumulatePairForces(*system, i);   // nothing in the grid
    EXPECT_EQ(particle(i).force, SbVec3f(0.0f, 2.0f, 0.0f));
    fillGrid();
    accumulatePairForces(*system, i);   // lists only itself
    EXPECT_EQ(particle(i).force, SbVec3f(0.0f, 2.0f, 0.0f));
}

TEST_F(PairForceTest, NeighbourListedTwiceCountsTwice) {
    // Cells (0, 1, 0) and (0, 0, 1) share bucket 63: a query from cell
    // (0, 0, 0) lists a particle of cell (0, 1, 0) twice.
    const int32_t i = place(0.0f, 6.5f, 0.0f);
    place(0.0f, 7.5f, 0.0f);
    fillGrid();
    accumulatePairForces(*system, i);
    const double k = factor(1.0f);
    const float once = static_cast<float>(-1.0 * k + 0.0);
    EXPECT_EQ(particle(i).force[1], static_cast<float>(-1.0 * k + static_cast<double>(once)));
    EXPECT_FLOAT_EQ(particle(i).force[1], -15.0f);
}

TEST_F(PairForceTest, NeighbourThatMovedAwaySinceTheRebuildAddsNothing) {
    const int32_t i = place(0.0f, 0.0f, 0.0f);
    const int32_t j = place(1.0f, 0.0f, 0.0f);
    fillGrid();
    particle(j).position.setValue(8.0f, 0.0f, 0.0f);   // still listed where it was
    accumulatePairForces(*system, i);
    EXPECT_EQ(particle(i).force, SbVec3f(0, 0, 0));
}

TEST_F(PairForceTest, CoincidentParticlesSkipThePair) {
    const int32_t i = place(3.0f, 3.0f, 3.0f);
    place(3.0f, 3.0f, 3.0f);
    place(4.0f, 3.0f, 3.0f);   // a real neighbour still counts
    fillGrid();
    accumulatePairForces(*system, i);
    const SbVec3f &f = particle(i).force;
    EXPECT_FLOAT_EQ(f[0], -7.5f);
    EXPECT_EQ(f[1], 0.0f);
    EXPECT_EQ(f[2], 0.0f);
}

TEST_F(PairForceTest, TinyPositiveDistanceStaysFinite) {
    const float x = 1.0f;
    const int32_t i = place(x, 0.0f, 0.0f);
    place(std::nextafter(x, 2.0f), 0.0f, 0.0f);
    fillGrid();
    accumulatePairForces(*system, i);
    for (int axis = 0; axis < 3; ++axis) EXPECT_FALSE(std::isnan(particle(i).force[axis]));
    EXPECT_LT(particle(i).force[0], -1e20f);   // an enormous push away, for the clamp to bound
}

TEST_F(PairForceTest, NotANumberNeighbourIsSkipped) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const int32_t i = place(0.5f, 0.5f, 0.5f);
    const int32_t j = place(nan, nan, nan);   // cell 0: listed beside i
    fillGrid();
    accumulatePairForces(*system, i);
    EXPECT_EQ(particle(i).force, SbVec3f(0, 0, 0));
    accumulatePairForces(*system, j);   // its own distances are not numbers either
    EXPECT_EQ(particle(j).force, SbVec3f(0, 0, 0));
}

}  // namespace
