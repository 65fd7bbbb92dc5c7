// A step allocates nothing: counted over many steps of fires of several sizes,
// with both pair kernels, after start-up has built everything.

#include "generator/Generator.h"
#include "sim/PairKernels.h"
#include "sim/ParticleSystem.h"
#include "sim/Startup.h"
#include "tests/soak/AllocationCounter.h"

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoSeparator.h>
#include <gtest/gtest.h>

namespace {

TEST(StepAllocation, ManyStepsAllocateNothing) {
    SoDB::init();
    using pair_kernels::Kernels;
    struct Case {
        int32_t generators, particles, steps;
        Kernels kernels;
    };
    const Case cases[] = {{1, 400, 2000, Kernels::widest}, {1, 400, 500, Kernels::wide},
                          {1, 400, 500, Kernels::baseline},  {3, 3000, 100, Kernels::widest},
                          {3, 3000, 40, Kernels::baseline},  {2, 305, 1000, Kernels::wide}};
    for (const Case &c : cases) {
        pair_kernels::useKernels(c.kernels);
        Fire fire = startFire(c.generators, c.particles);
        ASSERT_NE(fire.system, nullptr);
        allocation_counter::start();
        for (int32_t s = 0; s < c.steps; ++s) fire.system->step();
        const uint64_t allocations = allocation_counter::stop();
        EXPECT_EQ(allocations, 0u) << c.generators << "x" << c.particles << " over " << c.steps
                                   << " steps, kernels " << static_cast<int>(c.kernels);
        fire.root->unref();
        for (int32_t g = 0; g < fire.generatorCount; ++g) delete fire.generators[g];
        delete fire.system;
    }
    pair_kernels::useKernels(Kernels::widest);
}

}  // namespace
