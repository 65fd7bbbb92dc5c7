// Fuzzes the headless tool's command line with arbitrary argument vectors:
// the input, split at zero bytes, is argv[1..]. Checks that an accepted line
// has exactly three plain decimal arguments whose values are the parsed ones
// and lie in range, and that the parse depends on nothing but the arguments.

#include "tools/SimArguments.h"
#include "tests/fuzz/FuzzArguments.h"

#include <cstdint>
#include <string>

namespace {

// The argument's value when it is digits only and fits in int32.
bool plainValue(const std::string &text, int64_t &value) {
    if (text.empty()) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzArguments args("quendar-sim", data, size);
    if (args.tooMany()) return 0;
    char **const argv = args.argv();
    const int argc = args.argc();

    const SimArguments a = parseSimArguments(argc, argv);
    const SimArguments again = parseSimArguments(argc, argv);
    if (a.valid != again.valid || (a.valid && (a.generators != again.generators ||
                                               a.particles != again.particles || a.steps != again.steps)))
        failInvariant("two parses of one line differ");

    int64_t g = 0, n = 0, s = 0;
    const bool wellFormed = argc == 4 && plainValue(args.word(1), g) && plainValue(args.word(2), n) &&
                            plainValue(args.word(3), s);
    const bool shouldAccept = wellFormed && g >= 1 && g <= 3 && n >= 300;
    if (a.valid != shouldAccept) failInvariant("accepted a bad line or refused a good one");
    if (a.valid && (a.generators != g || a.particles != n || a.steps != s)) failInvariant("parsed values differ");

    return 0;
}
