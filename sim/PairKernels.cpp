#include "sim/PairKernels.h"

#include "grid/SpatialHashGrid.h"
#include "sim/ExactPower.h"
#include "sim/PairLaw.h"
#include "sim/ParticleSystem.h"

#include <cmath>
#include <limits>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUENDAR_HAVE_WIDE 1
#else
#define QUENDAR_HAVE_WIDE 0
#endif

namespace {

// Lanes a vector kernel takes at once; the lists carry this much slack so
// that a group may run past the end.
constexpr int32_t kLanes = 4;

// One call's working lists: about 10 KB on the stack, nothing allocated.
struct Scratch {
    alignas(32) int32_t list[kMaxNeighbours + kLanes];     // candidates, in query order
    alignas(32) int32_t inside[kMaxNeighbours + kLanes];   // those inside the cut-off
    alignas(32) double squared[kMaxNeighbours + kLanes];   // their squared distances
    alignas(32) double factor[kMaxNeighbours + kLanes];    // and their pair factors
    alignas(16) int32_t slow[kMaxNeighbours + kLanes];     // factors left to pairFactor
};

// The query's list, copied bucket by bucket: the 27 cells in order, cut at
// kMaxNeighbours entries. Returns its length.
int32_t gatherCandidates(const SpatialHashGrid &grid, const SbVec3f &p, int32_t *list) {
    const Bucket *visit[27];
    grid.neighbourBuckets(p[0], p[1], p[2], visit);
    int32_t n = 0;
    for (const Bucket *bucket : visit) {
        const int32_t room = kMaxNeighbours - n;
        const int32_t take = bucket->count < room ? bucket->count : room;
        if (take <= 0) continue;
        // Four at a time while four remain in the bucket, then one by one: a
        // library call per bucket of about ten entries costs more.
        int32_t e = 0;
#if QUENDAR_HAVE_WIDE
        for (; e + 4 <= take; e += 4) {
            const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bucket->indices + e));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(list + n + e), four);
        }
#endif
        for (; e < take; ++e) list[n + e] = bucket->indices[e];
        n += take;
        if (n == kMaxNeighbours) break;
    }
    return n;
}

// The chain of force sums, in list order, one pair at a time: the order and
// the rounding of every sum are the result, so this stays sequential.
inline void addForces(const int32_t *inside, const double *factor, int32_t count,
                      const PackedPosition *packed, double px, double py, double pz, float &fx,
                      float &fy, float &fz) {
    for (int32_t b = 0; b < count; ++b) {
        const PackedPosition &q = packed[inside[b]];
        fx = static_cast<float>((px - static_cast<double>(q.x)) * factor[b] + static_cast<double>(fx));
        fy = static_cast<float>((py - static_cast<double>(q.y)) * factor[b] + static_cast<double>(fy));
        fz = static_cast<float>((pz - static_cast<double>(q.z)) * factor[b] + static_cast<double>(fz));
    }
}

// Baseline kernels: scalar filter, factors two at a time (SSE2).

int32_t filterPortable(const int32_t *list, int32_t n, const PackedPosition *packed, double px,
                       double py, double pz, int32_t *inside, double *squared) {
    int32_t kept = 0;
    for (int32_t m = 0; m < n; ++m) {
        const int32_t j = list[m];
        const PackedPosition &q = packed[j];
        const double dx = px - static_cast<double>(q.x);
        const double dy = py - static_cast<double>(q.y);
        const double dz = pz - static_cast<double>(q.z);
        const double d2 = dx * dx + dy * dy + dz * dz;
        inside[kept] = j;
        squared[kept] = d2;
        kept += static_cast<int32_t>(isPairInside(d2));
    }
    return kept;
}

void sumPortable(const int32_t *inside, const double *squared, int32_t kept,
                 const PackedPosition *packed, double px, double py, double pz, float &fx, float &fy,
                 float &fz) {
    // The sums in registers, written back once: through the references they
    // would make a store and a load part of every link of the chain.
    float x = fx, y = fy, z = fz;
    alignas(16) double factor[kLanes];
    for (int32_t k = 0; k < kept; k += kLanes) {
        const int32_t count = kept - k < kLanes ? kept - k : kLanes;
        pairFactors(squared + k, factor, count);
        addForces(inside + k, factor, count, packed, px, py, pz, x, y, z);
    }
    fx = x;
    fy = y;
    fz = z;
}

#if QUENDAR_HAVE_WIDE

// Compaction tables for a 4-lane mask: the kept lanes moved to the front in
// their order, as 32-bit lane numbers (for the indices) and as pairs of them
// (for the doubles).
struct CompactTables {
    alignas(32) int32_t pairs[16][8];
    alignas(16) int32_t lanes[16][4];
    constexpr CompactTables() : pairs(), lanes() {
        for (int mask = 0; mask < 16; ++mask) {
            int out = 0;
            for (int lane = 0; lane < 4; ++lane) {
                if ((mask >> lane & 1) == 0) continue;
                lanes[mask][out] = lane;
                pairs[mask][2 * out] = 2 * lane;
                pairs[mask][2 * out + 1] = 2 * lane + 1;
                ++out;
            }
        }
    }
};
constexpr CompactTables kCompact;

// pairFactor of d2[0 .. n-1] into k[0 .. n-1], four at a time, without a
// branch: the steps of exactPowFour lane by lane. A lane near halfway gets
// its factor from pairFactor afterwards (which asks pow, as exactPowFour
// does); the few such lanes are listed as they turn up, so that no test in
// the loop depends on the data. d2 must hold a multiple of four entries
// past n that are inside the cut-off.
__attribute__((target("avx2"))) void pairFactorsWide(const double *d2, double *k, int32_t n,
                                                     int32_t *slow) {
    const __m256d split = _mm256_set1_pd(134217729.0);   // 2^27 + 1
    const __m256d exponentMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FF0000000000000ll));
    const __m256d magnitudeMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFFll));
    const __m256d margin = _mm256_set1_pd(kHalfwayMargin);
    const __m256d ulpScale = _mm256_set1_pd(0x1p52);
    const __m256d repulsion = _mm256_set1_pd(kRepulsion);
    const __m256d attraction = _mm256_set1_pd(kAttraction);
    int32_t slowCount = 0;
    for (int32_t m = 0; m < n; m += kLanes) {
        const __m256d d = _mm256_sqrt_pd(_mm256_load_pd(d2 + m));
        const __m256d x = _mm256_cvtps_pd(_mm256_cvtpd_ps(d));   // the distance rounded to float
        const __m256d s = _mm256_mul_pd(x, x);
        const __m256d q = _mm256_mul_pd(s, s);
        const __m256d c = _mm256_mul_pd(split, s);
        const __m256d high = _mm256_sub_pd(c, _mm256_sub_pd(c, s));
        const __m256d low = _mm256_sub_pd(s, high);
        const __m256d e = _mm256_add_pd(
            _mm256_add_pd(_mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(high, high), q), _mm256_mul_pd(high, low)),
                          _mm256_mul_pd(low, high)),
            _mm256_mul_pd(low, low));
        const __m256d bound = _mm256_mul_pd(margin, _mm256_and_pd(q, exponentMask));
        const __m256d error = _mm256_mul_pd(_mm256_and_pd(e, magnitudeMask), ulpScale);
        const int fast = _mm256_movemask_pd(_mm256_cmp_pd(error, bound, _CMP_LT_OQ));
        _mm256_store_pd(k + m, _mm256_sub_pd(_mm256_div_pd(repulsion, q), _mm256_div_pd(attraction, s)));
        const int late = ~fast & 0xF;
        const __m128i lanes = _mm_load_si128(reinterpret_cast<const __m128i *>(kCompact.lanes[late]));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(slow + slowCount), _mm_add_epi32(lanes, _mm_set1_epi32(m)));
        slowCount += __builtin_popcount(static_cast<unsigned>(late));
    }
    for (int32_t i = 0; i < slowCount; ++i) k[slow[i]] = pairFactor(d2[slow[i]]);
}

// The whole pair loop, four candidates at a time: first every candidate is
// measured and those inside are listed, then their factors are formed four
// at a time and their forces added in list order. (Adding as soon as four
// are listed is slower: the test mispredicts and the loads of fresh list
// entries miss store forwarding.) list must hold a multiple of four entries
// past n that measure as outside (the caller pads with self, whose entry
// reads not a number).
__attribute__((target("avx2"))) void pairForcesWide(const int32_t *list, int32_t n,
                                                    const PackedPosition *packed, double px,
                                                    double py, double pz, int32_t *inside,
                                                    double *squared, double *factor, int32_t *slow,
                                                    float &fx, float &fy, float &fz) {
    const __m256d pX = _mm256_set1_pd(px), pY = _mm256_set1_pd(py), pZ = _mm256_set1_pd(pz);
    const __m256d cutoff = _mm256_set1_pd(kPairCutoffSquared);
    const __m256d zero = _mm256_setzero_pd();
    // The sums in registers, written back once: through the references they
    // would make a store and a load part of every link of the chain.
    float x = fx, y = fy, z = fz;
    int32_t kept = 0;   // inside entries listed
    for (int32_t m = 0; m < n; m += kLanes) {
        const __m128i index = _mm_loadu_si128(reinterpret_cast<const __m128i *>(list + m));
        // Each entry's x y z (and its unused lane), widened to double exactly.
        const __m256d q0 = _mm256_cvtps_pd(_mm_load_ps(&packed[list[m]].x));
        const __m256d q1 = _mm256_cvtps_pd(_mm_load_ps(&packed[list[m + 1]].x));
        const __m256d q2 = _mm256_cvtps_pd(_mm_load_ps(&packed[list[m + 2]].x));
        const __m256d q3 = _mm256_cvtps_pd(_mm_load_ps(&packed[list[m + 3]].x));
        const __m256d t0 = _mm256_unpacklo_pd(q0, q1);   // x0 x1 | z0 z1
        const __m256d t1 = _mm256_unpackhi_pd(q0, q1);   // y0 y1 | .
        const __m256d t2 = _mm256_unpacklo_pd(q2, q3);   // x2 x3 | z2 z3
        const __m256d t3 = _mm256_unpackhi_pd(q2, q3);   // y2 y3 | .
        const __m256d dx = _mm256_sub_pd(pX, _mm256_permute2f128_pd(t0, t2, 0x20));
        const __m256d dy = _mm256_sub_pd(pY, _mm256_permute2f128_pd(t1, t3, 0x20));
        const __m256d dz = _mm256_sub_pd(pZ, _mm256_permute2f128_pd(t0, t2, 0x31));
        // (dx*dx + dy*dy) + dz*dz, as the scalar expression adds them.
        const __m256d d2 = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)),
                                         _mm256_mul_pd(dz, dz));
        const __m256d in = _mm256_and_pd(_mm256_cmp_pd(d2, cutoff, _CMP_LT_OQ),
                                         _mm256_cmp_pd(d2, zero, _CMP_GT_OQ));
        const int mask = _mm256_movemask_pd(in);
        const __m256i pairs = _mm256_load_si256(reinterpret_cast<const __m256i *>(kCompact.pairs[mask]));
        const __m128i lanes = _mm_load_si128(reinterpret_cast<const __m128i *>(kCompact.lanes[mask]));
        _mm256_storeu_pd(squared + kept,
                         _mm256_castps_pd(_mm256_permutevar8x32_ps(_mm256_castpd_ps(d2), pairs)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(inside + kept),
                         _mm_castps_si128(_mm_permutevar_ps(_mm_castsi128_ps(index), lanes)));
        kept += __builtin_popcount(static_cast<unsigned>(mask));
    }
    // Past the end, a harmless distance for the lanes of the last group.
    for (int32_t pad = 0; pad < kLanes; ++pad) squared[kept + pad] = 1.0;
    pairFactorsWide(squared, factor, kept, slow);
    addForces(inside, factor, kept, packed, px, py, pz, x, y, z);
    fx = x;
    fy = y;
    fz = z;
}

bool detectWide() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#else

bool detectWide() { return false; }

#endif

const bool kWideAvailable = detectWide();
bool useWide = kWideAvailable;

}  // namespace

void addPairForcesPacked(const SpatialHashGrid &grid, PackedPosition *packed, int32_t self,
                         const SbVec3f &p, SbVec3f &force) {
    Scratch scratch;
    const int32_t n = gatherCandidates(grid, p, scratch.list);
    for (int32_t pad = 0; pad < kLanes; ++pad) scratch.list[n + pad] = self;
    const double px = p[0], py = p[1], pz = p[2];

    // The particle itself is excluded by index: while its own entry reads
    // not a number, every distance to it fails the cut-off test.
    const PackedPosition own = packed[self];
    packed[self].x = std::numeric_limits<float>::quiet_NaN();
    float fx = force[0], fy = force[1], fz = force[2];
#if QUENDAR_HAVE_WIDE
    if (useWide) {
        pairForcesWide(scratch.list, n, packed, px, py, pz, scratch.inside, scratch.squared,
                       scratch.factor, scratch.slow, fx, fy, fz);
    } else
#endif
    {
        const int32_t kept =
            filterPortable(scratch.list, n, packed, px, py, pz, scratch.inside, scratch.squared);
        // Past the end, a harmless distance for the lanes of the last group.
        for (int32_t pad = 0; pad < kLanes; ++pad) scratch.squared[kept + pad] = 1.0;
        sumPortable(scratch.inside, scratch.squared, kept, packed, px, py, pz, fx, fy, fz);
    }
    packed[self] = own;
    force.setValue(fx, fy, fz);
}

namespace pair_kernels {
void pairFactorsBatch(const double *d2, double *k, int32_t n, bool wide) {
    alignas(32) double chunk[kMaxNeighbours + kLanes];
    alignas(32) double factor[kMaxNeighbours + kLanes];
    alignas(16) int32_t slow[kMaxNeighbours + kLanes];
    for (int32_t start = 0; start < n; start += kMaxNeighbours) {
        const int32_t count = n - start < kMaxNeighbours ? n - start : kMaxNeighbours;
        for (int32_t i = 0; i < count; ++i) chunk[i] = d2[start + i];
        for (int32_t pad = 0; pad < kLanes; ++pad) chunk[count + pad] = 1.0;
#if QUENDAR_HAVE_WIDE
        if (wide && kWideAvailable)
            pairFactorsWide(chunk, factor, count, slow);
        else
#endif
            pairFactors(chunk, factor, count);
        for (int32_t i = 0; i < count; ++i) k[start + i] = factor[i];
    }
}

bool wideVectorsAvailable() { return kWideAvailable; }
void useWideVectors(bool on) { useWide = on && kWideAvailable; }
bool usingWideVectors() { return useWide; }
}  // namespace pair_kernels
