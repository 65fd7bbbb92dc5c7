#include "tools/SimArguments.h"

#include "sim/Startup.h"

#include <limits>

const char kSimUsage[] =
    "usage: quendar-sim G N STEPS  (G generators 1..3, N particles >= 300, STEPS >= 0)\n";

namespace {

// Digits only, no sign or white space, value within int32.
bool readPlainInt(const char *text, int32_t &value) {
    if (text == nullptr || *text == '\0') return false;
    int64_t result = 0;
    for (const char *c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        result = result * 10 + (*c - '0');
        if (result > std::numeric_limits<int32_t>::max()) return false;
    }
    value = static_cast<int32_t>(result);
    return true;
}

}  // namespace

SimArguments parseSimArguments(int argc, const char *const *argv) {
    SimArguments args{false, 0, 0, 0};
    if (argc != 4 || argv == nullptr) return args;
    if (!readPlainInt(argv[1], args.generators) || !readPlainInt(argv[2], args.particles) ||
        !readPlainInt(argv[3], args.steps))
        return args;
    args.valid = args.generators >= 1 && args.generators <= 3 && args.particles >= kMinParticles;
    return args;
}
