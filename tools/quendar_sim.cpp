// quendar-sim G N STEPS: the fire's start-up and STEPS timer steps without a
// window, then one line per particle:
//   index px py pz vx vy vz fx fy fz mass lifetime
// each float with %.9g, which round-trips it. This output is a contract for
// checking exactness: keep it stable.

#include "sim/ParticleSystem.h"
#include "sim/Startup.h"
#include "tools/SimArguments.h"

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoSeparator.h>

#include <cstdio>

int main(int argc, char **argv) {
    // Initialise.
    const SimArguments args = parseSimArguments(argc, argv);
    if (!args.valid) {
        std::fputs(kSimUsage, stderr);
        return 2;
    }
    SoDB::init();
    // Static: the fire is never freed, like the program's, and stays reachable
    // until the process ends, so a leak checker does not take it for lost.
    static Fire fire = startFire(args.generators, args.particles);
    if (fire.system == nullptr) {
        std::fprintf(stderr, "quendar-sim: not enough memory for %d particles\n", args.particles);
        return 1;
    }

    // Run: each step exactly as the timer runs it.
    for (int32_t s = 0; s < args.steps; ++s) onTimer(fire.system, nullptr);

    // Report.
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    const ParticleSystem &system = *fire.system;
    for (int32_t i = 0; i < system.capacity; ++i) {
        const Particle &p = system.particles[i];
        std::printf("%d %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g\n", i,
                    p.position[0], p.position[1], p.position[2], p.velocity[0], p.velocity[1],
                    p.velocity[2], p.force[0], p.force[1], p.force[2], p.mass, p.lifetime);
    }
    std::fflush(stdout);
    return 0;
}
