// The program's warm-up and step against the straightforward reference of the
// benchmarks: from the same fire, every particle field must have the same bits
// after the warm-up and after every step.

#include "bench/BenchFire.h"
#include "bench/baseline/BaselineStep.h"
#include "grid/SpatialHashGrid.h"
#include "sim/Constants.h"
#include "sim/PairKernels.h"
#include "sim/ParticleSystem.h"
#include "sim/RandomState.h"
#include "sim/Startup.h"

#include <Inventor/SoDB.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

// Index of the first particle whose fields differ in any bit, or -1.
int32_t firstDifference(const ParticleSystem &a, const ParticleSystem &b) {
    for (int32_t i = 0; i < a.capacity; ++i) {
        const Particle &p = a.particles[i];
        const Particle &q = b.particles[i];
        const float fp[] = {p.mass, p.position[0], p.position[1], p.position[2], p.velocity[0],
                            p.velocity[1], p.velocity[2], p.force[0], p.force[1], p.force[2], p.lifetime};
        const float fq[] = {q.mass, q.position[0], q.position[1], q.position[2], q.velocity[0],
                            q.velocity[1], q.velocity[2], q.force[0], q.force[1], q.force[2], q.lifetime};
        if (std::memcmp(fp, fq, sizeof fp) != 0) return i;
    }
    return -1;
}

TEST(StraightforwardMatch, WarmUpAndStepsGiveTheSameBits) {
    SoDB::init();
    struct Case {
        int32_t generators, particles, steps;
    };
    const Case cases[] = {{1, 300, 400}, {1, 400, 300}, {2, 1000, 60}, {3, 3000, 8}};
    auto grid = std::make_unique<SpatialHashGrid>(kGridCellSize);
    using pair_kernels::Kernels;
    for (const Kernels kernels : {Kernels::widest, Kernels::wide, Kernels::baseline}) {
    if (!pair_kernels::kernelsAvailable(kernels)) continue;
    pair_kernels::useKernels(kernels);
    SCOPED_TRACE(kernels == Kernels::widest ? "widest kernels"
                 : kernels == Kernels::wide ? "wide kernels"
                                            : "baseline kernels");
    for (const Case &c : cases) {
        BenchFire program = emittedFire(c.generators, c.particles);
        warmUp(*program.system);
        BenchFire reference = emittedFire(c.generators, c.particles);
        baselineWarmUp(*reference.system, *grid);
        // Each fire draws from the one random stream in turn: restore it
        // around every step so both see the same draws.
        ASSERT_EQ(firstDifference(*program.system, *reference.system), -1)
            << c.generators << "x" << c.particles << " after the warm-up";
        for (int32_t s = 0; s < c.steps; ++s) {
            const uint32_t state = random_detail::randomState;
            program.system->step();
            random_detail::randomState = state;
            baselineStep(*reference.system, *grid);
            ASSERT_EQ(firstDifference(*program.system, *reference.system), -1)
                << c.generators << "x" << c.particles << " step " << s;
        }
        releaseFire(program);
        releaseFire(reference);
    }
    }
    pair_kernels::useKernels(Kernels::widest);
}

}  // namespace
