// Hostile conditions, in process: particle counts no machine can hold, and a
// generator steered 100,000 units away by key presses through the real scene.

#include "app/Keyboard.h"
#include "generator/Generator.h"
#include "grid/SpatialHashGrid.h"
#include "sim/ParticleSystem.h"
#include "sim/Startup.h"
#include "tests/soak/AllocationCounter.h"

#include <Inventor/SbBox.h>
#include <Inventor/SbViewportRegion.h>
#include <Inventor/SoDB.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoHandleEventAction.h>
#include <Inventor/events/SoKeyboardEvent.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

// Nothing is allocated for a refused count beyond small bookkeeping: a
// megabyte is far below what the smallest of these counts needs (64 GB).
constexpr uint64_t kSmallAllocation = 1u << 20;

TEST(Hostile, ParticleCountsBeyondTheMachineAreRefusedWithoutAllocating) {
    const int32_t counts[] = {
        std::numeric_limits<int32_t>::max(),   // what a saturated number asks for
        2000000000,
        1000000000,
    };
    for (int32_t count : counts) {
        SCOPED_TRACE(count);
        ASSERT_NE(fireMemoryBytes(count), 0u) << "the byte count itself must not overflow";
        const auto started = std::chrono::steady_clock::now();
        allocation_counter::start();
        ParticleSystem *system = createParticleSystem(count);
        allocation_counter::stop();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(system, nullptr);
        EXPECT_LT(allocation_counter::largest(), kSmallAllocation);
        EXPECT_LT(seconds, 1.0);
        delete system;
    }
}

// A key press or release through an SoHandleEventAction on root, as the
// viewer delivers it.
bool sendKey(SoSeparator *root, SoKeyboardEvent::Key key, SoButtonEvent::State state) {
    SoKeyboardEvent event;
    event.setKey(key);
    event.setState(state);
    SoHandleEventAction action(SbViewportRegion(640, 480));
    action.setEvent(&event);
    action.apply(root);
    return action.isHandled();
}

// Every pair closer than the cut-off, found by brute force, must be listed by
// the grid's query around the first particle, unless the list was cut at 400
// or the second was dropped from a full bucket. Returns the pairs checked.
int64_t checkGridAgainstBruteForce(const ParticleSystem &system) {
    SpatialHashGrid grid(7.0f);
    grid.clear();
    std::vector<bool> kept(static_cast<std::size_t>(system.activeCount), false);
    for (int32_t i = 0; i < system.activeCount; ++i) {
        const SbVec3f &p = system.particles[i].position;
        const int32_t before = grid.buckets[grid.hashPosition(p[0], p[1], p[2])].count;
        grid.insert(i, p[0], p[1], p[2]);
        kept[static_cast<std::size_t>(i)] = before < kBucketCapacity;
    }
    int64_t pairs = 0;
    for (int32_t i = 0; i < system.activeCount; ++i) {
        const SbVec3f &p = system.particles[i].position;
        const int32_t n = grid.queryNeighbours(p[0], p[1], p[2]);
        std::vector<bool> listed(static_cast<std::size_t>(system.activeCount), false);
        for (int32_t m = 0; m < n; ++m) listed[static_cast<std::size_t>(grid.neighbours[m])] = true;
        for (int32_t j = 0; j < system.activeCount; ++j) {
            if (j == i) continue;
            const SbVec3f &q = system.particles[j].position;
            const double dx = p[0] - q[0], dy = p[1] - q[1], dz = p[2] - q[2];
            if (!(std::sqrt(dx * dx + dy * dy + dz * dz) < 7.0)) continue;
            ++pairs;
            if (n < kMaxNeighbours && kept[static_cast<std::size_t>(j)]) {
                EXPECT_TRUE(listed[static_cast<std::size_t>(j)]) << "pair " << i << ", " << j << " missed";
            }
        }
    }
    return pairs;
}

TEST(Hostile, GeneratorSteeredFarAwayKeepsBeingDrawnAndEmittingWithACorrectGrid) {
    struct Case {
        SoKeyboardEvent::Key key;
        int axis;
        float sign;
    };
    const Case cases[] = {
        {SoKeyboardEvent::RIGHT_ARROW, 0, 1.0f},
        {SoKeyboardEvent::PAGE_DOWN, 1, -1.0f},
        {SoKeyboardEvent::UP_ARROW, 2, -1.0f},
    };
    constexpr int32_t kPresses = 100000;
    constexpr int32_t kPressesPerStep = 100;   // a held key repeats far faster than the timer steps
    for (const Case &c : cases) {
        SCOPED_TRACE(c.axis);
        SoDB::init();
        Fire fire = startFire(1, 400);
        ASSERT_NE(fire.system, nullptr);
        createEventCallback(fire.root, fire.steered);

        for (int32_t k = 1; k <= kPresses; ++k) {
            ASSERT_TRUE(sendKey(fire.root, c.key, SoButtonEvent::DOWN));
            if (k % kPressesPerStep == 0) onTimer(fire.system, nullptr);
        }
        SbVec3f far(0.0f, 0.0f, 0.0f);
        far[c.axis] = c.sign * static_cast<float>(kPresses);
        EXPECT_EQ(fire.steered->position, far);
        EXPECT_EQ(fire.steered->transform->translation.getValue(), far);

        // A particle lives at most 21 steps: after 25 more, every one has been
        // emitted at the far place, and is shown where it is.
        for (int32_t s = 0; s < 25; ++s) onTimer(fire.system, nullptr);
        const ParticleSystem &system = *fire.system;
        EXPECT_EQ(system.activeCount, 400);
        for (int32_t i = 0; i < system.capacity; ++i) {
            const Particle &p = system.particles[i];
            const SbVec3f offset = p.position - far;
            ASSERT_TRUE(std::isfinite(p.position[0]) && std::isfinite(p.position[1]) &&
                        std::isfinite(p.position[2])) << i;
            ASSERT_LT(std::fabs(offset[0]) + std::fabs(offset[1]) + std::fabs(offset[2]), 200.0f) << i;
            ASSERT_EQ(p.transform->translation.getValue(), p.position) << i;
        }

        // The scene's bounds now reach the far place: the generator sphere is
        // still in the drawn graph, radius 4 around it.
        SoGetBoundingBoxAction bounds(SbViewportRegion(640, 480));
        bounds.apply(fire.steered->separator);
        const SbBox3f box = bounds.getBoundingBox();
        EXPECT_NEAR((box.getCenter() - far).length(), 0.0f, 0.01f);
        EXPECT_NEAR(box.getMax()[0] - box.getMin()[0], 8.0f, 0.01f);
        EXPECT_GE(fire.root->findChild(fire.steered->separator), 0);

        EXPECT_GT(checkGridAgainstBruteForce(system), 0) << "the far fire has pairs to check";

        fire.root->unref();
        delete fire.system;
        for (int32_t g = 0; g < fire.generatorCount; ++g) delete fire.generators[g];
    }
}

}  // namespace
