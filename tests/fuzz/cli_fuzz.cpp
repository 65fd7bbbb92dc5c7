// Fuzzes the program's command line with arbitrary argument vectors: the
// input, split at zero bytes, is argv[1..]. Each number must read as the C
// library's strtoll reads it in base 10 (white space, one sign, digits),
// saturated to int32; the usage decision must follow the argument count and
// the particle count alone.

#include "app/CommandLine.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void fail(const char *what) {
    std::fprintf(stderr, "command-line invariant broken: %s\n", what);
    std::abort();
}

int32_t referenceNumber(const char *text) {
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);   // saturates at the long long range
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> words;
    words.emplace_back("quendar");
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > 0) words.push_back(current);
    if (words.size() > 64) return 0;

    // Each string in its own heap block, so reading past one trips AddressSanitizer.
    std::vector<char *> argv;
    for (const std::string &w : words) {
        char *copy = static_cast<char *>(std::malloc(w.size() + 1));
        std::memcpy(copy, w.c_str(), w.size() + 1);
        argv.push_back(copy);
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    for (int i = 1; i < argc; ++i)
        if (readNumber(argv[static_cast<size_t>(i)]) != referenceNumber(argv[static_cast<size_t>(i)]))
            fail("a number reads differently from strtoll saturated to int32");

    const CommandLine line = readCommandLine(argc, argv.data());
    if (argc == 1) {
        if (line.usage || line.numGenerators != 1 || line.numParticles != 400) fail("defaults wrong");
    } else if (argc != 3) {
        if (!line.usage) fail("accepted a wrong argument count");
    } else {
        const int32_t g = referenceNumber(argv[1]);
        const int32_t n = referenceNumber(argv[2]);
        if (line.numGenerators != g || line.numParticles != n) fail("values differ");
        if (line.usage != (n < 300)) fail("usage decision not by the particle count");
    }
    const bool accepted = acceptedGeneratorCount(line.numGenerators);
    if (accepted != (line.numGenerators >= 1 && line.numGenerators <= 3)) fail("generator range wrong");

    for (char *p : argv) std::free(p);
    return 0;
}
