// The pair force's fast paths against what they replace, exhaustively where it
// matters: exactPowFour and exactPowTwo against the library's pow for every
// float in (0, 7], the step's batch kernels against the plain formula for the
// same distances, and the squared cut-off against sqrt(d2) < 7.

#include "sim/Constants.h"
#include "sim/ExactPower.h"
#include "sim/PairKernels.h"
#include "sim/PairLaw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

uint32_t bitsOf(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}
float floatOf(uint32_t b) {
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}
bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct Mismatches {
    uint64_t powFour = 0, powTwo = 0, portable = 0, wide = 0;
    float firstPowFour = 0, firstPowTwo = 0, firstPortable = 0, firstWide = 0;
};

void note(uint64_t &count, float &first, float d) {
    if (count++ == 0) first = d;
}

// Floats with bit patterns lo .. hi-1, all positive and at most 7.
void checkRange(uint32_t lo, uint32_t hi, Mismatches &out) {
    constexpr uint32_t kBatch = 4096;
    std::vector<double> d2(kBatch), expected(kBatch), portable(kBatch), wide(kBatch);
    const bool haveWide = pair_kernels::wideVectorsAvailable();
    for (uint32_t start = lo; start < hi; start += kBatch) {
        const uint32_t count = hi - start < kBatch ? hi - start : kBatch;
        for (uint32_t i = 0; i < count; ++i) {
            const float d = floatOf(start + i);
            const double x = d;
            const double four = std::pow(x, 4.0);
            const double two = std::pow(x, 2.0);
            if (!sameBits(exactPowFour(d), four)) note(out.powFour, out.firstPowFour, d);
            if (!sameBits(exactPowTwo(d), two)) note(out.powTwo, out.firstPowTwo, d);
            d2[i] = x * x;   // exact, and its square root is d again
            expected[i] = kRepulsion / four - kAttraction / two;
        }
        pair_kernels::pairFactorsBatch(d2.data(), portable.data(), static_cast<int32_t>(count), false);
        if (haveWide) pair_kernels::pairFactorsBatch(d2.data(), wide.data(), static_cast<int32_t>(count), true);
        for (uint32_t i = 0; i < count; ++i) {
            const float d = floatOf(start + i);
            if (!sameBits(portable[i], expected[i])) note(out.portable, out.firstPortable, d);
            if (haveWide && !sameBits(wide[i], expected[i])) note(out.wide, out.firstWide, d);
        }
    }
}

TEST(ExactPower, EveryFloatUpToSevenGivesThePowersAndFactorsOfPow) {
    const uint32_t lo = 1;                       // the smallest positive float
    const uint32_t hi = bitsOf(7.0f) + 1;        // 7.0 included
    unsigned threads = std::thread::hardware_concurrency();
    if (threads == 0) threads = 2;
    if (threads > 8) threads = 8;
    std::vector<Mismatches> results(threads);
    std::vector<std::thread> workers;
    const uint32_t share = (hi - lo) / threads + 1;
    for (unsigned t = 0; t < threads; ++t) {
        const uint32_t a = lo + t * share;
        const uint32_t b = a + share < hi ? a + share : hi;
        workers.emplace_back(checkRange, a, b, std::ref(results[t]));
    }
    for (std::thread &w : workers) w.join();
    for (unsigned t = 0; t < threads; ++t) {
        const Mismatches &m = results[t];
        EXPECT_EQ(m.powFour, 0u) << "exactPowFour differs from pow, first at " << m.firstPowFour;
        EXPECT_EQ(m.powTwo, 0u) << "exactPowTwo differs from pow, first at " << m.firstPowTwo;
        EXPECT_EQ(m.portable, 0u) << "baseline kernel's factor differs, first at " << m.firstPortable;
        EXPECT_EQ(m.wide, 0u) << "wide kernel's factor differs, first at " << m.firstWide;
    }
}

// Outside (0, 7] the fast path hands over to pow itself.
TEST(ExactPower, ArgumentsOutsideTheRangeGoToPow) {
    const float cases[] = {0.0f, -0.0f, -1.5f, std::nextafter(7.0f, 8.0f), 100.0f, INFINITY, NAN};
    for (float d : cases) {
        const double expected = std::pow(static_cast<double>(d), 4.0);
        const double got = exactPowFour(d);
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(got)) << d;
        else
            EXPECT_TRUE(sameBits(got, expected)) << d;
    }
}

// The squared cut-off keeps exactly the pairs that sqrt(d2) < 7 keeps, apart
// from distance 0, which the pair law skips.
TEST(PairCutoff, SquaredTestAgreesWithTheRootAroundFortyNine) {
    const double below = std::nextafter(49.0, 0.0);
    const double above = std::nextafter(49.0, 100.0);
    struct Case {
        double d2;
        bool inside;
    };
    const Case cases[] = {{0.0, false},          {4.9406564584124654e-324, true}, {1.0, true},
                          {48.999999, true},     {below, true},                   {49.0, false},
                          {above, false},        {1e300, false},                  {INFINITY, false},
                          {NAN, false},          {-1.0, false}};
    for (const Case &c : cases) EXPECT_EQ(isPairInside(c.d2), c.inside) << c.d2;

    // A million doubles on each side of 49.
    double lowSide = 49.0, highSide = 49.0;
    for (int i = 0; i < 1000000; ++i) {
        lowSide = std::nextafter(lowSide, 0.0);
        ASSERT_EQ(isPairInside(lowSide), std::sqrt(lowSide) < kPairCutoff) << lowSide;
        ASSERT_EQ(isPairInside(highSide), std::sqrt(highSide) < kPairCutoff) << highSide;
        highSide = std::nextafter(highSide, 100.0);
    }
}

}  // namespace
