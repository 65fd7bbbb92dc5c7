// Fuzzes the headless tool's command line with arbitrary argument vectors:
// the input, split at zero bytes, is argv[1..]. Checks that an accepted line
// has exactly three plain decimal arguments whose values are the parsed ones
// and lie in range, and that the parse depends on nothing but the arguments.

#include "tools/SimArguments.h"

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
    std::vector<std::string> words;
    words.emplace_back("quendar-sim");
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

    const SimArguments a = parseSimArguments(argc, argv.data());
    const SimArguments again = parseSimArguments(argc, argv.data());
    if (a.valid != again.valid || (a.valid && (a.generators != again.generators ||
                                               a.particles != again.particles || a.steps != again.steps)))
        fail("two parses of one line differ");

    int64_t g = 0, n = 0, s = 0;
    const bool wellFormed = argc == 4 && plainValue(words[1], g) && plainValue(words[2], n) &&
                            plainValue(words[3], s);
    const bool shouldAccept = wellFormed && g >= 1 && g <= 3 && n >= 300;
    if (a.valid != shouldAccept) fail("accepted a bad line or refused a good one");
    if (a.valid && (a.generators != g || a.particles != n || a.steps != s)) fail("parsed values differ");

    for (char *p : argv) std::free(p);
    return 0;
}
