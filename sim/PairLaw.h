#pragma once
// The pair law on squared distances, shared by accumulatePairForces and the
// step's packed loop so that both give the same bits.

#include "sim/Constants.h"
#include "sim/ExactPower.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdint>

// sqrt(d2) < 7.0 holds exactly when d2 < 49.0: sqrt is correctly rounded and
// monotonic, and the largest double below 49 has a root that rounds below 7
// (a test checks the doubles on both sides). d2 = 0 (two particles at one
// place, no direction between them) is skipped; a d2 that is not a number
// fails the test.
constexpr double kPairCutoffSquared = kPairCutoff * kPairCutoff;
inline bool isPairInside(double d2) { return (d2 < kPairCutoffSquared) & (d2 > 0.0); }

// k = 10 / pow(d, 4) - 2.5 / pow(d, 2), d the distance sqrt(d2) rounded to float.
inline double pairFactor(double d2) {
    const float d = static_cast<float>(std::sqrt(d2));
    return kRepulsion / exactPowFour(d) - kAttraction / exactPowTwo(d);
}

// pairFactor of d2[0 .. n-1] into k[0 .. n-1], two at a time where the
// machine has SSE2: the same correctly rounded operations, so the same bits.
// Requires every d2 to pass isPairInside. Inline: the step calls it for every
// few pairs.
__attribute__((always_inline)) inline void pairFactors(const double *d2, double *k, int32_t n) {
    int32_t m = 0;
#if defined(__SSE2__)
    // exactPowFour's steps, lane by lane; a lane near halfway takes pow.
    const __m128d split = _mm_set1_pd(134217729.0);   // 2^27 + 1
    const __m128d exponentMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7FF0000000000000ll));
    const __m128d signMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFll));
    const __m128d ulpScale = _mm_set1_pd(0x1p52);
    const __m128d margin = _mm_set1_pd(kHalfwayMargin);
    const __m128d repulsion = _mm_set1_pd(kRepulsion);
    const __m128d attraction = _mm_set1_pd(kAttraction);
    for (; m + 2 <= n; m += 2) {
        const __m128d d = _mm_sqrt_pd(_mm_loadu_pd(d2 + m));
        const __m128d x = _mm_cvtps_pd(_mm_cvtpd_ps(d));   // rounded to float
        const __m128d s = _mm_mul_pd(x, x);
        __m128d q = _mm_mul_pd(s, s);
        const __m128d c = _mm_mul_pd(split, s);
        const __m128d high = _mm_sub_pd(c, _mm_sub_pd(c, s));
        const __m128d low = _mm_sub_pd(s, high);
        const __m128d e = _mm_add_pd(
            _mm_add_pd(_mm_add_pd(_mm_sub_pd(_mm_mul_pd(high, high), q), _mm_mul_pd(high, low)),
                       _mm_mul_pd(low, high)),
            _mm_mul_pd(low, low));
        const __m128d ulpBound = _mm_mul_pd(margin, _mm_and_pd(q, exponentMask));
        const __m128d fast = _mm_cmplt_pd(_mm_mul_pd(_mm_and_pd(e, signMask), ulpScale), ulpBound);
        const int lanes = _mm_movemask_pd(fast);
        if (lanes != 3) {
            alignas(16) double xs[2], qs[2];
            _mm_store_pd(xs, x);
            _mm_store_pd(qs, q);
            if ((lanes & 1) == 0) qs[0] = std::pow(xs[0], 4.0);
            if ((lanes & 2) == 0) qs[1] = std::pow(xs[1], 4.0);
            q = _mm_load_pd(qs);
        }
        _mm_storeu_pd(k + m, _mm_sub_pd(_mm_div_pd(repulsion, q), _mm_div_pd(attraction, s)));
    }
#endif
    for (; m < n; ++m) k[m] = pairFactor(d2[m]);
}

