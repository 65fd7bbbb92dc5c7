#include "grid/SpatialHashGrid.h"
#include "sim/Constants.h"
#include "sim/ParticleSystem.h"

#include <cmath>

void accumulatePairForces(ParticleSystem &system, int32_t index) {
    Particle *const particles = system.particles;
    SpatialHashGrid &grid = *system.grid;
    const SbVec3f p = particles[index].position;   // one copy for the whole call

    const int32_t n = grid.queryNeighbours(p[0], p[1], p[2]);
    if (n == 0) return;

    const double px = p[0], py = p[1], pz = p[2];
    SbVec3f &force = particles[index].force;
    for (int32_t m = 0; m < n; ++m) {
        const int32_t j = grid.neighbours[m];
        if (j == index) continue;
        const SbVec3f &q = particles[j].position;
        const double dx = px - static_cast<double>(q[0]);
        const double dy = py - static_cast<double>(q[1]);
        const double dz = pz - static_cast<double>(q[2]);
        const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (!(d < kPairCutoff)) continue;   // also skips a distance that is not a number
        // Two distinct particles at one place have no direction between them:
        // skip the pair rather than divide by zero into a not-a-number force.
        if (d == 0.0) continue;
        const double dRounded = static_cast<float>(d);
        const double k = kRepulsion / std::pow(dRounded, 4.0) - kAttraction / std::pow(dRounded, 2.0);
        force[0] = static_cast<float>(dx * k + static_cast<double>(force[0]));
        force[1] = static_cast<float>(dy * k + static_cast<double>(force[1]));
        force[2] = static_cast<float>(dz * k + static_cast<double>(force[2]));
    }
}
