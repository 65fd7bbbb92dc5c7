#pragma once
// quendar from start-up to shutdown in one function: the program's main and
// the live bench both run it, so the bench measures the very code users run.

#include "app/Toolkit.h"

#include <Inventor/sensors/SoSensor.h>

struct ParticleGroup;
struct ParticleSystem;

// What a caller other than main puts in place of, or beside, the program's
// own steps. Every member may be null (false): the program's own step then.
struct ProgramHooks {
    void *data;   // handed to every hook; not owned

    // Step 6: runs in place of the warm-up and of the once-a-step
    // notification of the scene that follows it.
    void (*warmUp)(void *data, ParticleSystem &system, const ParticleGroup &particleGroup);

    // Step 8: the step timer's callback, given data, in place of onTimer
    // given the particle system.
    SoSensorCB *onTimer;

    // After step 9: the viewer exists and is shown; no frame is drawn yet.
    void (*viewerShown)(void *data, toolkit::Window mainWindow, toolkit::ExaminerViewer *viewer,
                        ParticleSystem &system);
};

// argc and argv as main received them; hooks null for the program itself.
// Returns the exit status: 0 after the main window was closed, 1 when the
// particles do not fit in memory. Ends the process itself with status 1
// without a display and with status 2 after the usage text.
int runProgram(int argc, char **argv, const ProgramHooks *hooks);
