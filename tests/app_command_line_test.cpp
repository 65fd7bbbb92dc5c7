// Reading the command line: atoi's rules without its overflow.

#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace {

TEST(ReadNumber, ReadsLikeAtoiAndSaturates) {
    struct Case {
        const char *text;
        int32_t value;
    };
    const Case cases[] = {
        {"0", 0},
        {"300", 300},
        {"  \t\n\v\f\r42", 42},
        {"+7", 7},
        {"-7", -7},
        {"2abc", 2},
        {"12 34", 12},
        {"", 0},
        {"abc", 0},
        {"+", 0},
        {"-", 0},
        {"+-3", 0},
        {"--3", 0},
        {" - 3", 0},
        {"0x10", 0},
        {"1e3", 1},
        {"3.9", 3},
        {"\xc2\xa0" "5", 0},   // a no-break space is no C white space
        {"000000000000000000000000300", 300},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999999999", INT_MIN},
    };
    for (const Case &c : cases) EXPECT_EQ(readNumber(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(readNumber(nullptr), 0);
}

// Where atoi is defined (the value fits), both agree.
TEST(ReadNumber, AgreesWithAtoiInRange) {
    const char *texts[] = {"1", "-1", " 299", "+300", "2abc", "x", "  -2147483648", "2147483647z"};
    for (const char *text : texts) EXPECT_EQ(readNumber(text), std::atoi(text)) << text;
}

TEST(ReadCommandLine, CountsAndParticleFloor) {
    struct Case {
        std::vector<const char *> args;   // without the program's path
        bool usage;
        int32_t generators, particles;
    };
    const Case cases[] = {
        {{}, false, 1, 400},
        {{"3", "300"}, false, 3, 300},
        {{"2abc", "500"}, false, 2, 500},
        {{"4", "500"}, false, 4, 500},   // the generator count is checked later
        {{"0", "500"}, false, 0, 500},
        {{"3", "299"}, true, 3, 299},
        {{"3", "-300"}, true, 3, -300},
        {{"1", "abc"}, true, 1, 0},
        {{"", ""}, true, 0, 0},
        {{"2", "99999999999999999999"}, false, 2, INT_MAX},
        {{"3", "-99999999999999999999"}, true, 3, INT_MIN},
        {{"1"}, true, 1, 400},
        {{"1", "400", "x"}, true, 1, 400},
    };
    for (const Case &c : cases) {
        std::vector<const char *> argv{"quendar"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const CommandLine line = readCommandLine(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(line.usage, c.usage) << c.args.size() << " arguments";
        if (c.usage) continue;
        EXPECT_EQ(line.numGenerators, c.generators);
        EXPECT_EQ(line.numParticles, c.particles);
    }
}

TEST(AcceptedGeneratorCount, OneToThree) {
    for (int32_t n : {INT_MIN, -1, 0, 4, 5, INT_MAX}) EXPECT_FALSE(acceptedGeneratorCount(n)) << n;
    for (int32_t n : {1, 2, 3}) EXPECT_TRUE(acceptedGeneratorCount(n)) << n;
}

}  // namespace
