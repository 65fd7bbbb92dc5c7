#include "generator/Generator.h"
#include "sim/Constants.h"
#include "sim/ParticleSystem.h"
#include "sim/Random.h"

#include <cmath>

void emitParticle(Particle &particle, const Generator &generator) {
    // Four draws, in this order: polar angle, azimuth, speed, lifetime.
    const float theta = randomRange(-generator.spread, generator.spread);
    const double phi = static_cast<double>(randomInt()) * static_cast<double>(kAzimuthScale);

    const double sinTheta = std::sin(static_cast<double>(theta));
    SbVec3f d(static_cast<float>(sinTheta * std::cos(phi)),
              static_cast<float>(sinTheta * std::sin(phi)),
              static_cast<float>(std::cos(static_cast<double>(theta))));
    generator.orientation.multVec(d, d);   // local +Z onto the generator's direction

    const SbVec3f &origin = generator.position;
    particle.position.setValue(
        static_cast<float>(static_cast<double>(origin[0]) + kEmissionOffset * static_cast<double>(d[0])),
        static_cast<float>(static_cast<double>(origin[1]) + kEmissionOffset * static_cast<double>(d[1])),
        static_cast<float>(static_cast<double>(origin[2]) + kEmissionOffset * static_cast<double>(d[2])));

    const float speed = randomRange(generator.minSpeed, generator.maxSpeed);
    d *= speed;   // float products, each exact in double and rounded once
    particle.velocity = d;

    particle.mass = kEmissionMass;
    particle.lifetime = static_cast<float>(
        kBaseLifetime + static_cast<double>(randomInt()) * static_cast<double>(kLifetimeScale));
}

void ParticleSystem::respawn(Particle &particle) {
    nextGenerator = (nextGenerator + 1) % generatorCount;
    emitParticle(particle, *generators[nextGenerator]);
}
