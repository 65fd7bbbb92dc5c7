// Long runs of the fire, headless, as the timer would run them: the default
// scene (1 generator, 400 particles) for 200,000 steps, over half an hour of
// the live fire, and 3 generators with 3000 particles for 20,000 steps.
// Throughout: every particle finite and near a generator, its lifetime in
// range, activeCount at capacity; no heap allocation at all once start-up is
// over; resident memory flat.
//
// Step counts: QUENDAR_SOAK_STEPS_1X400 and QUENDAR_SOAK_STEPS_3X3000 set them
// (a longer run is the same test).

#include "generator/Generator.h"
#include "sim/ParticleSystem.h"
#include "sim/Startup.h"
#include "tests/soak/AllocationCounter.h"

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A particle lives at most 10 time units (21 steps); starting 4.5 from its
// generator at speed <= 1 and gaining at most 0.4 per step on an axis, it
// stays within about 60 units of where it was emitted on every axis.
constexpr float kReach = 100.0f;

// Resident growth allowed over the run, bytes: room for the kernel's page
// accounting, far below what one lost byte per step would add.
constexpr long kResidentSlack = 2L * 1024 * 1024;

int32_t stepsFromEnvironment(const char *name, int32_t usual) {
    const char *text = std::getenv(name);
    if (text == nullptr || *text == '\0') return usual;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1 || value > INT32_MAX) {
        ADD_FAILURE() << name << " must be a positive step count, not \"" << text << "\"";
        return usual;
    }
    return static_cast<int32_t>(value);
}

// Resident set size in bytes, read with plain system calls: a FILE would
// allocate and count against the run.
long residentBytes() {
    char text[128] = {};
    const int fd = open("/proc/self/statm", O_RDONLY);
    if (fd < 0) return 0;
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return 0;
    long pages = 0, resident = 0;
    if (std::sscanf(text, "%ld %ld", &pages, &resident) != 2) return 0;
    return resident * sysconf(_SC_PAGESIZE);
}

// The first broken particle as a message, or empty when all hold.
std::string checkParticles(const ParticleSystem &system) {
    if (system.activeCount != system.capacity) return "activeCount below capacity";
    for (int32_t i = 0; i < system.capacity; ++i) {
        const Particle &p = system.particles[i];
        for (int a = 0; a < 3; ++a) {
            if (!std::isfinite(p.position[a]) || !std::isfinite(p.velocity[a]) || !std::isfinite(p.force[a]))
                return "particle " + std::to_string(i) + " not finite";
        }
        if (!(p.lifetime > -system.timeStep && p.lifetime <= 9.5f))
            return "particle " + std::to_string(i) + " lifetime " + std::to_string(p.lifetime);
        bool near = false;
        for (int32_t g = 0; g < system.generatorCount && !near; ++g) {
            const SbVec3f &c = system.generators[g]->position;
            near = std::fabs(p.position[0] - c[0]) < kReach && std::fabs(p.position[1] - c[1]) < kReach &&
                   std::fabs(p.position[2] - c[2]) < kReach;
        }
        if (!near) return "particle " + std::to_string(i) + " left its generators";
    }
    return {};
}

void soak(int32_t generators, int32_t particles, int32_t steps) {
    SoDB::init();
    Fire fire = startFire(generators, particles);
    ASSERT_NE(fire.system, nullptr);
    ParticleSystem &system = *fire.system;
    ASSERT_EQ(checkParticles(system), "");

    // The first steps touch every page the run will use; the baseline follows.
    const int32_t settle = steps < 1000 ? steps / 10 : 100;
    for (int32_t s = 0; s < settle; ++s) onTimer(&system, nullptr);
    const long residentAtStart = residentBytes();
    long residentMax = residentAtStart;

    const auto started = std::chrono::steady_clock::now();
    allocation_counter::start();
    std::string broken;
    int32_t s = settle;
    for (; s < steps && broken.empty(); ++s) {
        onTimer(&system, nullptr);
        broken = checkParticles(system);
        if (s % 1000 == 0) {
            const long now = residentBytes();
            if (now > residentMax) residentMax = now;
        }
    }
    const uint64_t allocated = allocation_counter::stop();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const long residentAtEnd = residentBytes();
    if (residentAtEnd > residentMax) residentMax = residentAtEnd;

    EXPECT_EQ(broken, "") << "after step " << s;
    EXPECT_EQ(allocated, 0u) << "heap allocations during " << (s - settle) << " steps"
                             << (allocation_counter::countsMalloc() ? "" : " (operator new only)");
    EXPECT_LE(residentMax - residentAtStart, kResidentSlack)
        << "resident memory grew from " << residentAtStart << " to " << residentMax << " bytes";
    // The last translation shown is each particle's position.
    for (int32_t i = 0; i < system.capacity; ++i)
        ASSERT_EQ(system.particles[i].transform->translation.getValue(), system.particles[i].position) << i;

    std::printf("%d x %d: %d steps in %.1f s (%.3f ms a step), resident %ld -> %ld KiB\n", generators,
                particles, s, seconds, 1e3 * seconds / (s - settle > 0 ? s - settle : 1),
                residentAtStart / 1024, residentMax / 1024);
    fire.root->unref();
    delete fire.system;
    for (int32_t g = 0; g < fire.generatorCount; ++g) delete fire.generators[g];
}

TEST(Soak, DefaultSceneOneGeneratorFourHundredParticles) {
    soak(1, 400, stepsFromEnvironment("QUENDAR_SOAK_STEPS_1X400", 200000));
}

TEST(Soak, ThreeGeneratorsThreeThousandParticles) {
    soak(3, 3000, stepsFromEnvironment("QUENDAR_SOAK_STEPS_3X3000", 20000));
}

}  // namespace
