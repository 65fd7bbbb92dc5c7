#pragma once
// Command line of the headless tool: "G N STEPS", each a plain decimal integer
// (digits only) that fits in int32, with G 1..3, N >= 300 and STEPS >= 0.

#include <cstdint>

struct SimArguments {
    bool valid;
    int32_t generators;
    int32_t particles;
    int32_t steps;
};

SimArguments parseSimArguments(int argc, const char *const *argv);

extern const char kSimUsage[];   // one line, ends in a line break
