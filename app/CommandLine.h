#pragma once
// The program's command line: no arguments, or num_of_generators then
// num_of_particles. Plain reading with no toolkit in it, so that a fuzz
// target can link this file pair alone.

#include <cstdint>

// Reads a number the way atoi does: leading white space (space, \t, \n, \v,
// \f, \r, whatever the locale), one optional sign, then decimal digits up to
// the first other character; 0 when no digit comes. A value beyond int32
// saturates at INT32_MAX or INT32_MIN instead of overflowing. text may be null
// (reads as 0).
int32_t readNumber(const char *text);

struct CommandLine {
    // True when the argument count is neither 1 nor 3, or num_of_particles
    // is below 300: the usage text answers it.
    bool usage;
    // As read; checked against 1 .. 3 only once the particle system exists.
    int32_t numGenerators;
    int32_t numParticles;
};

// argc counts the program's path; argv holds argc entries.
CommandLine readCommandLine(int argc, const char *const *argv);

// 1, 2 or 3.
bool acceptedGeneratorCount(int32_t numGenerators);

// The two usage strings, the second without a line break.
extern const char kUsageLine1[];
extern const char kUsageLine2[];

// Writes the usage strings to standard output and ends the process with
// status 2, the conventional status of a command-line error.
[[noreturn]] void exitWithUsage();
