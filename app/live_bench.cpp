// quendar-live-bench: quendar's own start-up, window and event loop, run for
// a while under the current display, then closed; prints how fast it went.
//   quendar-live-bench [--straightforward] num_of_generators num_of_particles seconds
// Prints one line on standard output:
//   steps_per_second=X frames_per_second=Y startup_seconds=Z
// steps and frames are counted over the SECONDS that follow the end of the
// first frame; startup_seconds runs from the start of the process (as the
// kernel records it, to 10 ms) to the end of the first frame.
// --straightforward runs the step and warm-up of the benchmarks' plain
// reference, with every particle's translation notifying the scene on each
// write and the particle separators caching as Coin decides: the version to
// compare against.
// Exit status: 0 after the run, 1 without a display or without the memory
// for the particles, 2 for a command line it cannot use.

#include "app/Program.h"
#include "app/Toolkit.h"
#include "bench/baseline/BaselineStep.h"
#include "grid/SpatialHashGrid.h"
#include "sim/Constants.h"
#include "sim/ParticleSystem.h"
#include "sim/Startup.h"

#include <Inventor/SbTime.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/sensors/SoAlarmSensor.h>
#include <Inventor/sensors/SoOneShotSensor.h>

#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>

namespace {

constexpr char kUsage[] =
    "usage: quendar-live-bench [--straightforward] num_of_generators num_of_particles seconds\n";

// Longest run accepted, in seconds: a day.
constexpr double kMaxSeconds = 86400.0;

// Seconds since the machine booted, on the clock the kernel's process
// start times are kept on.
double bootSeconds() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// When this process started, in boot seconds (field 22 of /proc/self/stat,
// in clock ticks), or a negative value when it cannot be read.
double processStartSeconds() {
    std::FILE *file = std::fopen("/proc/self/stat", "r");
    if (file == nullptr) return -1.0;
    char text[1024];
    const size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[length] = '\0';
    // The command name, field 2, is in parentheses and may hold spaces:
    // count the fields after its closing parenthesis, the state being field 3.
    const char *field = std::strrchr(text, ')');
    if (field == nullptr) return -1.0;
    ++field;
    for (int number = 3; number <= 22; ++number) {
        while (*field == ' ') ++field;
        if (number == 22) break;
        while (*field != ' ' && *field != '\0') ++field;
    }
    char *end = nullptr;
    errno = 0;
    const unsigned long long ticks = std::strtoull(field, &end, 10);
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (end == field || errno != 0 || ticksPerSecond <= 0) return -1.0;
    return static_cast<double>(ticks) / static_cast<double>(ticksPerSecond);
}

// A whole decimal number in lowest .. highest and nothing else, or false.
bool readInteger(const char *text, long lowest, long highest, long &value) {
    if (*text < '0' || *text > '9') return false;
    char *end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return *end == '\0' && errno == 0 && value >= lowest && value <= highest;
}

// A finite number of seconds above 0 and at most kMaxSeconds, or false.
bool readSeconds(const char *text, double &value) {
    if ((*text < '0' || *text > '9') && *text != '.') return false;
    char *end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return *end == '\0' && errno == 0 && value > 0.0 && value <= kMaxSeconds;
}

struct Run {
    bool straightforward = false;
    double seconds = 0.0;        // of event loop measured
    double processStart = -1.0;  // boot seconds

    ParticleSystem *system = nullptr;    // start-up's; not owned
    SpatialHashGrid *grid = nullptr;        // owned, only --straightforward; lives until exit
    toolkit::Window mainWindow = nullptr;
    SoOneShotSensor *firstFrameDone = nullptr;   // owned; lives until exit
    SoAlarmSensor *closeAlarm = nullptr;         // owned; lives until exit

    uint64_t frames = 0;          // frames begun so far
    double firstFrameEnd = -1.0;  // boot seconds; negative until then
    uint64_t stepsAtStart = 0, framesAtStart = 0;
    double endTime = 0.0;
    uint64_t stepsAtEnd = 0, framesAtEnd = 0;
};

// Reachable until exit, for LeakSanitizer: the sensors and the grid are
// never freed, like start-up's own timer.
Run run;

// The straightforward version's warm-up: the scene updates and caching it
// had before they were tuned, and the reference step.
void straightforwardWarmUp(void *data, ParticleSystem &system, const ParticleGroup &) {
    Run &r = *static_cast<Run *>(data);
    r.system = &system;
    useStraightforwardScene(system);
    baselineWarmUp(system, *r.grid);
}

void straightforwardTimer(void *data, SoSensor *) {
    Run &r = *static_cast<Run *>(data);
    baselineStep(*r.system, *r.grid);
    ++r.system->stepCount;
}

void onCloseAlarm(void *data, SoSensor *) {
    Run &r = *static_cast<Run *>(data);
    r.endTime = bootSeconds();
    r.stepsAtEnd = r.system->stepCount;
    r.framesAtEnd = r.frames;
    toolkit::close(r.mainWindow);
}

// Runs from the delay queue, so after the first frame has been drawn.
void onFirstFrameDone(void *data, SoSensor *) {
    Run &r = *static_cast<Run *>(data);
    r.firstFrameEnd = bootSeconds();
    r.stepsAtStart = r.system->stepCount;
    r.framesAtStart = r.frames;
    r.closeAlarm = new SoAlarmSensor(onCloseAlarm, &r);
    r.closeAlarm->setTimeFromNow(SbTime(r.seconds));
    r.closeAlarm->schedule();
}

// Before every frame's traversal: counts it. Reads the scene, changes nothing.
void onFrame(void *data, SoGLRenderAction *) {
    Run &r = *static_cast<Run *>(data);
    if (r.frames++ == 0) r.firstFrameDone->schedule();
}

void onViewerShown(void *data, toolkit::Window mainWindow, toolkit::ExaminerViewer *viewer,
                   ParticleSystem &system) {
    Run &r = *static_cast<Run *>(data);
    r.system = &system;
    r.mainWindow = mainWindow;
    r.firstFrameDone = new SoOneShotSensor(onFirstFrameDone, &r);
    viewer->getGLRenderAction()->addPreRenderCallback(onFrame, &r);
}

[[noreturn]] void usage() {
    std::fputs(kUsage, stderr);
    std::exit(2);
}

}  // namespace

int main(int argc, char **argv) {
    run.processStart = processStartSeconds();
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--straightforward") == 0) {
        run.straightforward = true;
        first = 2;
    }
    long generators = 0, particles = 0;
    if (argc - first != 3 || !readInteger(argv[first], 1, kMaxGenerators, generators) ||
        !readInteger(argv[first + 1], kMinParticles, std::numeric_limits<int32_t>::max(), particles) ||
        !readSeconds(argv[first + 2], run.seconds))
        usage();

    if (run.straightforward) {
        run.grid = new (std::nothrow) SpatialHashGrid(kGridCellSize);
        if (run.grid == nullptr) {
            std::fprintf(stderr, "quendar-live-bench: not enough memory for the reference grid\n");
            return 1;
        }
    }

    ProgramHooks hooks{};
    hooks.data = &run;
    hooks.viewerShown = onViewerShown;
    if (run.straightforward) {
        hooks.warmUp = straightforwardWarmUp;
        hooks.onTimer = straightforwardTimer;
    }
    // The program's own command line: its path, then the two counts.
    char *programArgs[] = {argv[0], argv[first], argv[first + 1], nullptr};
    int programArgc = 3;
    const int status = runProgram(programArgc, programArgs, &hooks);
    if (status != 0) return status;
    if (run.firstFrameEnd < 0.0 || run.endTime <= run.firstFrameEnd) {
        std::fprintf(stderr, "quendar-live-bench: the window was closed before the run ended\n");
        return 1;
    }

    const double elapsed = run.endTime - run.firstFrameEnd;
    const double startup = run.processStart >= 0.0 ? run.firstFrameEnd - run.processStart : -1.0;
    std::printf("steps_per_second=%.2f frames_per_second=%.2f startup_seconds=%.3f\n",
                static_cast<double>(run.stepsAtEnd - run.stepsAtStart) / elapsed,
                static_cast<double>(run.framesAtEnd - run.framesAtStart) / elapsed, startup);
    return 0;
}
