#pragma once
// pow(d, 4.0) and pow(d, 2.0) of the pair force without the library call, for
// the distances it takes: d a float in (0, 7]. Both return exactly what the
// standard library's pow returns there; a test compares them over every float
// in that range. Any other argument goes to pow itself.

#include <cmath>
#include <cstdint>
#include <cstring>

// d * d is exact in double for a float d (24 + 24 significant bits), and pow
// returns an exactly representable power exactly.
inline double exactPowTwo(float d) {
    const double x = d;
    return x * x;
}

// Usual 0.4908 ulp: over every float in (0, 7], glibc's pow departs from the
// correctly rounded d^4 only where its error is 0.49109 ulp or more. Larger
// risks a wrong result (the exhaustive test would fail); smaller sends more
// distances to pow (about 1.8% of them at this value; slower, still exact).
constexpr double kHalfwayMargin = 0.4908;

// s = d * d is exact; q = s * s is then the correctly rounded d^4. pow rounds
// the same way except when d^4 lies almost halfway between two doubles (about
// 0.09% of the floats here, all with a rounding error of at least 0.491 ulp).
// The exact error of q (Dekker's product) tells those cases apart; they, and
// everything within kHalfwayMargin of halfway, are left to pow.
inline double exactPowFour(float d) {
    if (!(d > 0.0f && d <= 7.0f)) return std::pow(static_cast<double>(d), 4.0);
    const double x = d;
    const double s = x * x;
    const double q = s * s;
    // Veltkamp split of s into halves of at most 26 bits: every partial
    // product below is exact, so e is exactly s * s - q.
    const double c = 134217729.0 * s;   // 2^27 + 1
    const double high = c - (c - s);
    const double low = s - high;
    const double e = ((high * high - q) + high * low + low * high) + low * low;
    // ulp(q) = 2^(exponent of q - 52); q is a normal double for every d here.
    uint64_t bits;
    std::memcpy(&bits, &q, sizeof bits);
    bits &= 0x7FF0000000000000ull;
    double powerOfTwo;
    std::memcpy(&powerOfTwo, &bits, sizeof powerOfTwo);
    if (std::fabs(e) * 0x1p52 < kHalfwayMargin * powerOfTwo) return q;
    return std::pow(x, 4.0);
}
