#include "grid/SpatialHashGrid.h"
#include "sim/PairLaw.h"
#include "sim/ParticleSystem.h"

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
        const double d2 = dx * dx + dy * dy + dz * dz;
        // Also skips a distance that is not a number, and two distinct
        // particles at one place (no direction between them).
        if (!isPairInside(d2)) continue;
        const double k = pairFactor(d2);
        force[0] = static_cast<float>(dx * k + static_cast<double>(force[0]));
        force[1] = static_cast<float>(dy * k + static_cast<double>(force[1]));
        force[2] = static_cast<float>(dz * k + static_cast<double>(force[2]));
    }
}
