#include "app/Program.h"

#include "app/CommandLine.h"
#include "app/Keyboard.h"
#include "app/Viewer.h"
#include "sim/ParticleSystem.h"
#include "sim/Startup.h"

#include <Inventor/SbTime.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/sensors/SoTimerSensor.h>

#include <cstdio>

namespace {

// Wall-clock interval of the step timer, in seconds; each firing runs one
// step of 0.5 time units. Shorter makes the fire faster up to what the
// machine can step and draw.
constexpr double kStepInterval = 0.01;

// What start-up creates and never frees lives until the process ends; held
// here so that it stays reachable on every way out, the early exits included.
SoSeparator *root = nullptr;               // one reference of ours, dropped at shutdown
ParticleSystem *particleSystem = nullptr;  // owned; refers to the generators, which it never frees
SoTimerSensor *stepTimer = nullptr;        // owned; scheduled once, never unscheduled

}  // namespace

int runProgram(int argc, char **argv, const ProgramHooks *hooks) {
    const ProgramHooks none{};
    if (hooks == nullptr) hooks = &none;

    // Initialise.
    // 1. The toolkit first: it takes its own options (-display ...) out of
    //    argc and argv before the command line is looked at.
    //    A launcher may pass no arguments at all, not even the path.
    toolkit::Window mainWindow = toolkit::init(argc, argv, argc > 0 ? argv[0] : "quendar");

    // 2. The scene root, referenced once until shutdown, with its shape hints.
    root = createRoot();

    // 3. The command line, the particle system and the generators.
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.usage) exitWithUsage();
    particleSystem = createParticleSystem(commandLine.numParticles);
    if (particleSystem == nullptr) {
        std::fprintf(stderr, "quendar: not enough memory for %d particles\n", commandLine.numParticles);
        return 1;
    }
    if (!acceptedGeneratorCount(commandLine.numGenerators)) exitWithUsage();
    // The origin generator, steered by the keys; owned like the others by
    // start-up and reachable through the particle system.
    Generator *steered = createGenerators(commandLine.numGenerators, root, *particleSystem);

    // 4. particleGroup with its complexity, material and the shared sphere.
    const ParticleGroup particleGroup = createParticleGroup(root);

    // 5. Every particle emitted once, with its own separator and transform.
    emitAllParticles(*particleSystem, particleGroup);

    // 6. Warm-up: the particles become active ten at a time, one step each.
    //    Nothing is on screen yet, so the scene is told of the change only
    //    from here on, once after every step.
    if (hooks->warmUp != nullptr) {
        hooks->warmUp(hooks->data, *particleSystem, particleGroup);
    } else {
        warmUp(*particleSystem);
        notifyAfterEachStep(*particleSystem, particleGroup.group);
    }

    // 7. Keyboard steering, first child of root.
    createEventCallback(root, steered);

    // 8. The step timer; it first fires from the event loop. Never freed.
    if (hooks->onTimer != nullptr)
        stepTimer = new SoTimerSensor(hooks->onTimer, hooks->data);
    else
        stepTimer = new SoTimerSensor(onTimer, particleSystem);
    stepTimer->setInterval(SbTime(kStepInterval));
    stepTimer->schedule();

    // 9. The viewer, shown.
    toolkit::ExaminerViewer *viewer = createViewer(mainWindow, root);   // deleted at shutdown
    if (hooks->viewerShown != nullptr) hooks->viewerShown(hooks->data, mainWindow, viewer, *particleSystem);

    // 10. The frame-rate display.
    showFrameRate();

    // 11. The main window.
    toolkit::show(mainWindow);

    // Loop.
    // 12. Until the main window is closed.
    toolkit::mainLoop();

    // Shut down.
    // 13. The viewer, then the scene.
    delete viewer;
    root->unref();
    root = nullptr;
    return 0;
}
