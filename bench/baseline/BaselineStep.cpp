#include "bench/baseline/BaselineStep.h"

#include "grid/SpatialHashGrid.h"
#include "sim/Constants.h"
#include "sim/ParticleSystem.h"

#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>

#include <cmath>

void baselineAccumulatePairForces(ParticleSystem &system, SpatialHashGrid &grid, int32_t index) {
    Particle *const particles = system.particles;
    const SbVec3f p = particles[index].position;

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
        if (!(d < kPairCutoff)) continue;
        if (d == 0.0) continue;
        const double dRounded = static_cast<float>(d);
        const double k = kRepulsion / std::pow(dRounded, 4.0) - kAttraction / std::pow(dRounded, 2.0);
        force[0] = static_cast<float>(dx * k + static_cast<double>(force[0]));
        force[1] = static_cast<float>(dy * k + static_cast<double>(force[1]));
        force[2] = static_cast<float>(dz * k + static_cast<double>(force[2]));
    }
}

void baselineStep(ParticleSystem &system, SpatialHashGrid &grid) {
    Particle *const particles = system.particles;
    grid.clear();
    for (int32_t i = 0; i < system.activeCount; ++i) {
        const SbVec3f &p = particles[i].position;
        grid.insert(i, p[0], p[1], p[2]);
    }

    const double dt = system.timeStep;
    for (int32_t i = 0; i < system.activeCount; ++i) {
        Particle &particle = particles[i];
        if (particle.lifetime <= 0.0f) system.respawn(particle);

        particle.force.setValue(0.0f, kUpwardForce, 0.0f);
        baselineAccumulatePairForces(system, grid, i);

        SbVec3f &f = particle.force;
        clampForce(f);   // the program's own: the clamp costs the same either way

        const double mass = particle.mass;
        SbVec3f &v = particle.velocity;
        SbVec3f &x = particle.position;
        for (int axis = 0; axis < 3; ++axis)
            v[axis] = static_cast<float>((static_cast<double>(f[axis]) / mass) * dt +
                                         static_cast<double>(v[axis]));
        for (int axis = 0; axis < 3; ++axis)
            x[axis] = static_cast<float>(static_cast<double>(v[axis]) * dt +
                                         static_cast<double>(x[axis]));

        if (particle.transform != nullptr) particle.transform->translation.setValue(x[0], x[1], x[2]);

        particle.lifetime = static_cast<float>(static_cast<double>(particle.lifetime) - dt);
    }
}

void baselineWarmUp(ParticleSystem &system, SpatialHashGrid &grid) {
    const int32_t passes = system.capacity / kWarmUpBatch + (system.capacity % kWarmUpBatch != 0);
    for (int32_t pass = 0; pass < passes; ++pass) {
        const int32_t room = system.capacity - system.activeCount;
        system.activeCount += room < kWarmUpBatch ? room : kWarmUpBatch;
        baselineStep(system, grid);
    }
}

void useStraightforwardScene(ParticleSystem &system) {
    for (int32_t i = 0; i < system.capacity; ++i) {
        Particle &particle = system.particles[i];
        particle.transform->translation.enableNotify(TRUE);
        particle.separator->renderCaching = SoSeparator::AUTO;
        particle.separator->boundingBoxCaching = SoSeparator::AUTO;
    }
}
