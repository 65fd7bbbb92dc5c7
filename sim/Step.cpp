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

namespace {

// The rest of a particle's update once its force is summed: clamp, velocity,
// position (and its two copies), the scene's translation, the lifetime.
inline void finishParticle(Particle &particle, PackedPosition &packed, BucketPositions &order,
                           int32_t index, double dt) {
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
    packed = PackedPosition{x[0], x[1], x[2], 0.0f};
    const int32_t slot = order.slot[index];
    if (slot >= 0) {
        order.x[slot] = x[0];
        order.y[slot] = x[1];
        order.z[slot] = x[2];
    }

    if (particle.transform != nullptr) particle.transform->translation.setValue(x[0], x[1], x[2]);

    particle.lifetime = static_cast<float>(static_cast<double>(particle.lifetime) - dt);
}

}  // namespace

void ParticleSystem::step() {
    SpatialHashGrid &g = *grid;
    g.clear();
    for (int32_t i = 0; i < activeCount; ++i) {
        const SbVec3f &p = particles[i].position;
        packedPositions[i] = PackedPosition{p[0], p[1], p[2], 0.0f};
        g.insert(i, p[0], p[1], p[2]);
    }
    if (activeCount == 0) {   // nothing to move; a system without records may get here
        ++stepCount;
        if (notifyNode != nullptr) notifyNode->touch();
        return;
    }
    BucketPositions &order = *bucketPositions;
    arrangeByBucket(g, packedPositions, activeCount, order);

    // Particles in index order, as one after the other: each sees the final
    // positions of those before it and the old ones of those after it. Two
    // at a time, for speed: the sums of the second run beside those of the
    // first until they reach the first particle's own entry, which waits
    // for the first to move. Re-emissions keep their order, and with it the
    // random stream's.
    const double dt = timeStep;
    // A particle's update up to its pair forces: re-emitted if expired, its
    // force reset to the upward one.
    const auto begin = [this](Particle &particle) {
        if (particle.lifetime <= 0.0f) respawn(particle);
        particle.force.setValue(0.0f, kUpwardForce, 0.0f);
    };
    PairList first, second;   // about 20 KB of stack, nothing allocated
    int32_t i = 0;
    for (; i + 1 < activeCount; i += 2) {
        Particle &a = particles[i];
        Particle &b = particles[i + 1];
        begin(a);
        begin(b);
        const SbVec3f pa = a.position, pb = b.position;   // one copy for the whole pair loop
        listPairs(g, order, i, -1, pa, first);
        listPairs(g, order, i + 1, i, pb, second);
        const int32_t added = addBoth(first, pa, a.force, second, pb, b.force, packedPositions);
        finishParticle(a, packedPositions[i], order, i, dt);
        addRest(second, added, i, pb, b.force, packedPositions);
        finishParticle(b, packedPositions[i + 1], order, i + 1, dt);
    }
    if (i < activeCount) {
        Particle &a = particles[i];
        begin(a);
        const SbVec3f pa = a.position;
        listPairs(g, order, i, -1, pa, first);
        addRest(first, 0, -1, pa, a.force, packedPositions);
        finishParticle(a, packedPositions[i], order, i, dt);
    }
    ++stepCount;
    if (notifyNode != nullptr) notifyNode->touch();
}

void onTimer(void *data, SoSensor * /*sensor*/) {
    ParticleSystem *system = static_cast<ParticleSystem *>(data);
    system->step();
}
