// Fuzzes the program's command line with arbitrary argument vectors: the
// input, split at zero bytes, is argv[1..]. Each number must read as the C
// library's strtoll reads it in base 10 (white space, one sign, digits),
// saturated to int32; the usage decision must follow the argument count and
// the particle count alone.

#include "app/CommandLine.h"
#include "tests/fuzz/FuzzArguments.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int32_t referenceNumber(const char *text) {
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);   // saturates at the long long range
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzArguments args("quendar", data, size);
    if (args.tooMany()) return 0;
    char **const argv = args.argv();
    const int argc = args.argc();

    for (int i = 1; i < argc; ++i)
        if (readNumber(argv[static_cast<size_t>(i)]) != referenceNumber(argv[static_cast<size_t>(i)]))
            failInvariant("a number reads differently from strtoll saturated to int32");

    const CommandLine line = readCommandLine(argc, argv);
    if (argc == 1) {
        if (line.usage || line.numGenerators != 1 || line.numParticles != 400) failInvariant("defaults wrong");
    } else if (argc != 3) {
        if (!line.usage) failInvariant("accepted a wrong argument count");
    } else {
        const int32_t g = referenceNumber(argv[1]);
        const int32_t n = referenceNumber(argv[2]);
        if (line.numGenerators != g || line.numParticles != n) failInvariant("values differ");
        if (line.usage != (n < 300)) failInvariant("usage decision not by the particle count");
    }
    const bool accepted = acceptedGeneratorCount(line.numGenerators);
    if (accepted != (line.numGenerators >= 1 && line.numGenerators <= 3)) failInvariant("generator range wrong");

    return 0;
}
