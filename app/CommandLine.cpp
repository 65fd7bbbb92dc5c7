#include "app/CommandLine.h"

#include "sim/Startup.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

const char kUsageLine1[] = "Usage: quendar.exe [num_of_generators] [num_of_particles]\n";
const char kUsageLine2[] = "1 <= num_of_generators <= 3; num_of_particles >= 300";

namespace {

// The C locale's white space; the toolkit may switch the process locale
// before the command line is read, so isspace is not used.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int32_t readNumber(const char *text) {
    if (text == nullptr) return 0;
    while (isSpace(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    // Accumulate the magnitude in 64 bits and stop growing it once it is past
    // what any int32 can take, so no digit string can overflow.
    constexpr int64_t kCap = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (magnitude < kCap) magnitude = magnitude * 10 + (*text - '0');
    }
    if (negative) {
        return magnitude >= kCap ? std::numeric_limits<int32_t>::min()
                                 : static_cast<int32_t>(-magnitude);
    }
    return magnitude >= kCap ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(magnitude);
}

CommandLine readCommandLine(int argc, const char *const *argv) {
    CommandLine result{false, kDefaultGenerators, kDefaultParticles};
    if (argc == 1) return result;
    if (argc != 3) {
        result.usage = true;
        return result;
    }
    result.numGenerators = readNumber(argv[1]);
    result.numParticles = readNumber(argv[2]);
    result.usage = result.numParticles < kMinParticles;
    return result;
}

bool acceptedGeneratorCount(int32_t numGenerators) {
    return numGenerators >= 1 && numGenerators <= 3;
}

void exitWithUsage() {
    std::fputs(kUsageLine1, stdout);
    std::fputs(kUsageLine2, stdout);
    std::exit(2);
}
