#include "grid/SpatialHashGrid.h"
#include "sim/Constants.h"
#include "sim/PairKernels.h"
#include "sim/ParticleSystem.h"

#include <Inventor/nodes/SoNode.h>
#include <Inventor/nodes/SoTransform.h>

namespace {

inline float clampComponent(float value, float low, float high) {
    // Strict tests: a value on a limit stays, a not-a-number fails both and stays.
    if (value > high) return high;
    if (value < low) return low;
    return value;
}

}  // namespace

void clampForce(SbVec3f &force) {
    force[0] = clampComponent(force[0], -kForceLimitXZ, kForceLimitXZ);
    force[1] = clampComponent(force[1], kForceLimitYLow, kForceLimitYHigh);
    force[2] = clampComponent(force[2], -kForceLimitXZ, kForceLimitXZ);
}

void ParticleSystem::step() {
    SpatialHashGrid &g = *grid;
    g.clear();
    for (int32_t i = 0; i < activeCount; ++i) {
        const SbVec3f &p = particles[i].position;
        packedPositions[i] = PackedPosition{p[0], p[1], p[2], 0.0f};
        g.insert(i, p[0], p[1], p[2]);
    }

    const double dt = timeStep;
    for (int32_t i = 0; i < activeCount; ++i) {
        Particle &particle = particles[i];
        if (particle.lifetime <= 0.0f) respawn(particle);

        particle.force.setValue(0.0f, kUpwardForce, 0.0f);
        const SbVec3f start = particle.position;   // one copy for the whole pair loop
        addPairForcesPacked(g, packedPositions, i, start, particle.force);

        SbVec3f &f = particle.force;
        clampForce(f);

        const double mass = particle.mass;
        SbVec3f &v = particle.velocity;
        SbVec3f &x = particle.position;
        for (int axis = 0; axis < 3; ++axis)
            v[axis] = static_cast<float>((static_cast<double>(f[axis]) / mass) * dt +
                                         static_cast<double>(v[axis]));
        for (int axis = 0; axis < 3; ++axis)
            x[axis] = static_cast<float>(static_cast<double>(v[axis]) * dt +
                                         static_cast<double>(x[axis]));
        packedPositions[i] = PackedPosition{x[0], x[1], x[2], 0.0f};

        if (particle.transform != nullptr) particle.transform->translation.setValue(x[0], x[1], x[2]);

        particle.lifetime = static_cast<float>(static_cast<double>(particle.lifetime) - dt);
    }
    ++stepCount;
    if (notifyNode != nullptr) notifyNode->touch();
}

void onTimer(void *data, SoSensor * /*sensor*/) {
    ParticleSystem *system = static_cast<ParticleSystem *>(data);
    system->step();
}
