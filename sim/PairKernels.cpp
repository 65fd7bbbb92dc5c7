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
constexpr int32_t kLanes = kPairLanes;

// Index of a bucket of grid, from its address.
inline int32_t bucketIndex(const SpatialHashGrid &grid, const Bucket *bucket) {
    return static_cast<int32_t>(bucket - grid.buckets);
}

// One link of the chain of force sums: the order and the rounding of every
// sum are the result, so the links of one particle stay sequential.
inline void addLink(const PackedPosition &q, double k, double px, double py, double pz, float &x,
                    float &y, float &z) {
    x = static_cast<float>((px - static_cast<double>(q.x)) * k + static_cast<double>(x));
    y = static_cast<float>((py - static_cast<double>(q.y)) * k + static_cast<double>(y));
    z = static_cast<float>((pz - static_cast<double>(q.z)) * k + static_cast<double>(z));
}

// Baseline kernels: scalar filter, factors two at a time (SSE2).

// The query's candidates in its order: the 27 buckets in turn, each one's
// entries in order, cut after kMaxNeighbours entries in all. Lists those
// inside the cut-off, and where the entries of the partner, at partnerSlot of
// order (-1 for none), fall among them.
void filterPortable(const SpatialHashGrid &grid, const Bucket *const *visit, const BucketPositions &order,
                    int32_t partnerSlot, double px, double py, double pz, PairList &out) {
    int32_t kept = 0;
    int32_t room = kMaxNeighbours;
    out.deferredCount = 0;
    for (int32_t v = 0; v < 27; ++v) {
        const Bucket &bucket = *visit[v];
        const int32_t take = bucket.count < room ? bucket.count : room;
        room -= take;
        const int32_t base = order.start[bucketIndex(grid, &bucket)];
        for (int32_t e = 0; e < take; ++e) {
            const double dx = px - static_cast<double>(order.x[base + e]);
            const double dy = py - static_cast<double>(order.y[base + e]);
            const double dz = pz - static_cast<double>(order.z[base + e]);
            const double d2 = dx * dx + dy * dy + dz * dz;
            if (base + e == partnerSlot) out.deferredAt[out.deferredCount++] = kept;
            out.inside[kept] = bucket.indices[e];
            out.squared[kept] = d2;
            kept += static_cast<int32_t>(isPairInside(d2));
        }
        if (room == 0) break;
    }
    out.kept = kept;
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
__attribute__((target("avx2,fma"))) void pairFactorsWide(const double *d2, double *k, int32_t n,
                                                     int32_t *slow) {
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
        // s * s - q exactly, the rounding error of q: one fused operation
        // where exactPowFour needs Dekker's product. (Only here, for the
        // error term; no result of the force is ever fused.)
        const __m256d e = _mm256_fmsub_pd(s, s, q);
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

// Lanes 0 .. r-1 of four, for r = 0 .. 4: the entries of a bucket's last,
// partial group.
alignas(32) constexpr int64_t kFirstLanes[5][4] = {
    {0, 0, 0, 0}, {-1, 0, 0, 0}, {-1, -1, 0, 0}, {-1, -1, -1, 0}, {-1, -1, -1, -1}};

// The filter, four candidates at a time, read from the bucket-ordered copy
// four consecutive entries at a time: lists those inside the cut-off, and
// where the partner's entries fall among them (as filterPortable).
__attribute__((target("avx2"))) void filterWide(const SpatialHashGrid &grid, const Bucket *const *visit,
                                                const BucketPositions &order, int32_t partnerSlot,
                                                double px, double py, double pz, PairList &out) {
    const __m256d pX = _mm256_set1_pd(px), pY = _mm256_set1_pd(py), pZ = _mm256_set1_pd(pz);
    const __m256d cutoff = _mm256_set1_pd(kPairCutoffSquared);
    const __m256d zero = _mm256_setzero_pd();
    int32_t *const inside = out.inside;
    double *const squared = out.squared;
    int32_t kept = 0;   // inside entries listed
    int32_t room = kMaxNeighbours;
    out.deferredCount = 0;
    for (int32_t v = 0; v < 27; ++v) {
        const Bucket &bucket = *visit[v];
        const int32_t take = bucket.count < room ? bucket.count : room;
        room -= take;
        const int32_t base = order.start[bucketIndex(grid, &bucket)];
        const float *const bx = order.x + base;
        const float *const by = order.y + base;
        const float *const bz = order.z + base;
        // The partner's entry in this bucket, or one no group reaches.
        const int32_t partnerEntry = partnerSlot >= base && partnerSlot < base + take ? partnerSlot - base : -1;
        // e stays a multiple of four below take <= 40: the index loads stay
        // inside the bucket, the position loads inside the slack.
        for (int32_t e = 0; e < take; e += kLanes) {
            const __m256d dx = _mm256_sub_pd(pX, _mm256_cvtps_pd(_mm_loadu_ps(bx + e)));
            const __m256d dy = _mm256_sub_pd(pY, _mm256_cvtps_pd(_mm_loadu_ps(by + e)));
            const __m256d dz = _mm256_sub_pd(pZ, _mm256_cvtps_pd(_mm_loadu_ps(bz + e)));
            // (dx*dx + dy*dy) + dz*dz, as the scalar expression adds them.
            const __m256d d2 = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)),
                                             _mm256_mul_pd(dz, dz));
            const int32_t left = take - e < kLanes ? take - e : kLanes;
            const __m256d present = _mm256_load_pd(reinterpret_cast<const double *>(kFirstLanes[left]));
            const __m256d in = _mm256_and_pd(
                _mm256_and_pd(_mm256_cmp_pd(d2, cutoff, _CMP_LT_OQ), _mm256_cmp_pd(d2, zero, _CMP_GT_OQ)),
                present);
            const int mask = _mm256_movemask_pd(in);
            const __m128i index = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bucket.indices + e));
            const __m256i pairs = _mm256_load_si256(reinterpret_cast<const __m256i *>(kCompact.pairs[mask]));
            const __m128i lanes = _mm_load_si128(reinterpret_cast<const __m128i *>(kCompact.lanes[mask]));
            _mm256_storeu_pd(squared + kept,
                             _mm256_castps_pd(_mm256_permutevar8x32_ps(_mm256_castpd_ps(d2), pairs)));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(inside + kept),
                             _mm_castps_si128(_mm_permutevar_ps(_mm_castsi128_ps(index), lanes)));
            if (partnerEntry >= e && partnerEntry - e < kLanes) {
                const unsigned before = static_cast<unsigned>(mask) & ((1u << (partnerEntry - e)) - 1u);
                out.deferredAt[out.deferredCount++] = kept + __builtin_popcount(before);
            }
            kept += __builtin_popcount(static_cast<unsigned>(mask));
        }
        if (room == 0) break;
    }
    out.kept = kept;
}

// The filter eight candidates at a time, where the processor has AVX-512:
// the kept lanes are packed by a compress instead of a table.
__attribute__((target("avx512f,avx512vl,avx2"))) void filterWidest(
    const SpatialHashGrid &grid, const Bucket *const *visit, const BucketPositions &order,
    int32_t partnerSlot, double px, double py, double pz, PairList &out) {
    constexpr int32_t kEight = 8;
    const __m512d pX = _mm512_set1_pd(px), pY = _mm512_set1_pd(py), pZ = _mm512_set1_pd(pz);
    const __m512d cutoff = _mm512_set1_pd(kPairCutoffSquared);
    const __m512d zero = _mm512_setzero_pd();
    int32_t kept = 0;
    int32_t room = kMaxNeighbours;
    out.deferredCount = 0;
    for (int32_t v = 0; v < 27; ++v) {
        const Bucket &bucket = *visit[v];
        const int32_t take = bucket.count < room ? bucket.count : room;
        room -= take;
        const int32_t base = order.start[bucketIndex(grid, &bucket)];
        const float *const bx = order.x + base;
        const float *const by = order.y + base;
        const float *const bz = order.z + base;
        // The partner's entry in this bucket, or one no group reaches.
        const int32_t partnerEntry = partnerSlot >= base && partnerSlot < base + take ? partnerSlot - base : -1;
        // e stays a multiple of eight below take <= 40: the index loads stay
        // inside the bucket, the position loads inside the slack.
        for (int32_t e = 0; e < take; e += kEight) {
            const __m512d dx = _mm512_sub_pd(pX, _mm512_maskz_cvtps_pd(0xFF, _mm256_loadu_ps(bx + e)));
            const __m512d dy = _mm512_sub_pd(pY, _mm512_maskz_cvtps_pd(0xFF, _mm256_loadu_ps(by + e)));
            const __m512d dz = _mm512_sub_pd(pZ, _mm512_maskz_cvtps_pd(0xFF, _mm256_loadu_ps(bz + e)));
            // (dx*dx + dy*dy) + dz*dz, as the scalar expression adds them.
            const __m512d d2 = _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(dx, dx), _mm512_mul_pd(dy, dy)),
                                             _mm512_mul_pd(dz, dz));
            const int32_t left = take - e < kEight ? take - e : kEight;
            const __mmask8 present = static_cast<__mmask8>((1u << left) - 1u);
            const __mmask8 in = static_cast<__mmask8>(_mm512_cmp_pd_mask(d2, cutoff, _CMP_LT_OQ) &
                                                      _mm512_cmp_pd_mask(d2, zero, _CMP_GT_OQ) & present);
            const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bucket.indices + e));
            _mm512_storeu_pd(out.squared + kept, _mm512_maskz_compress_pd(in, d2));
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out.inside + kept), _mm256_maskz_compress_epi32(in, index));
            if (partnerEntry >= e && partnerEntry - e < kEight) {
                const unsigned before = static_cast<unsigned>(in) & ((1u << (partnerEntry - e)) - 1u);
                out.deferredAt[out.deferredCount++] = kept + __builtin_popcount(before);
            }
            kept += __builtin_popcount(static_cast<unsigned>(in));
        }
        if (room == 0) break;
    }
    out.kept = kept;
}

bool detectWidest() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
}

bool detectWide() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

#else

bool detectWide() { return false; }
bool detectWidest() { return false; }

#endif

const bool kWideAvailable = detectWide();
const bool kWidestAvailable = kWideAvailable && detectWidest();
bool useWide = kWideAvailable;
bool useWidest = kWidestAvailable;

// The pair factors of squared[0 .. n-1] into factor[0 .. n-1], with the wide
// kernel where asked for and present. Pads squared past n with a harmless
// distance for the lanes of the last group; both arrays need kLanes of slack.
void formFactors(double *squared, double *factor, int32_t n, bool wide) {
    for (int32_t pad = 0; pad < kLanes; ++pad) squared[n + pad] = 1.0;
#if QUENDAR_HAVE_WIDE
    if (wide && kWideAvailable) {
        alignas(16) int32_t slow[kMaxNeighbours + kLanes];
        pairFactorsWide(squared, factor, n, slow);
        return;
    }
#else
    (void)wide;
#endif
    pairFactors(squared, factor, n);
}

}  // namespace

void arrangeByBucket(const SpatialHashGrid &grid, const PackedPosition *packed, int32_t activeCount,
                     BucketPositions &order) {
    for (int32_t i = 0; i < activeCount; ++i) order.slot[i] = -1;
    int32_t next = 0;
    for (int32_t b = 0; b < kBucketCount; ++b) {
        order.start[b] = next;
        const Bucket &bucket = grid.buckets[b];
        for (int32_t e = 0; e < bucket.count; ++e) {
            const int32_t j = bucket.indices[e];
            order.x[next] = packed[j].x;
            order.y[next] = packed[j].y;
            order.z[next] = packed[j].z;
            order.slot[j] = next;
            ++next;
        }
    }
}

void listPairs(const SpatialHashGrid &grid, BucketPositions &order, int32_t self, int32_t partner,
               const SbVec3f &p, PairList &out) {
    const Bucket *visit[27];
    grid.neighbourBuckets(p[0], p[1], p[2], visit);
    const double px = p[0], py = p[1], pz = p[2];

    // Self and partner are left out by index: while their entries read not a
    // number, every distance to them fails the cut-off test. (Without a slot
    // a particle's bucket was full and it is in no list.)
    const int32_t ownSlot = order.slot[self];
    const int32_t partnerSlot = partner >= 0 ? order.slot[partner] : -1;
    const float ownX = ownSlot >= 0 ? order.x[ownSlot] : 0.0f;
    const float partnerX = partnerSlot >= 0 ? order.x[partnerSlot] : 0.0f;
    if (ownSlot >= 0) order.x[ownSlot] = std::numeric_limits<float>::quiet_NaN();
    if (partnerSlot >= 0) order.x[partnerSlot] = std::numeric_limits<float>::quiet_NaN();
#if QUENDAR_HAVE_WIDE
    if (useWidest)
        filterWidest(grid, visit, order, partnerSlot, px, py, pz, out);
    else if (useWide)
        filterWide(grid, visit, order, partnerSlot, px, py, pz, out);
    else
#endif
        filterPortable(grid, visit, order, partnerSlot, px, py, pz, out);
    if (partnerSlot >= 0) order.x[partnerSlot] = partnerX;
    if (ownSlot >= 0) order.x[ownSlot] = ownX;

    formFactors(out.squared, out.factor, out.kept, useWide);
}

int32_t addBoth(const PairList &a, const SbVec3f &pa, SbVec3f &forceA, const PairList &b,
                const SbVec3f &pb, SbVec3f &forceB, const PackedPosition *packed) {
    // The sums in registers, written back once: through the references they
    // would make a store and a load part of every link of the chains.
    float ax = forceA[0], ay = forceA[1], az = forceA[2];
    float bx = forceB[0], by = forceB[1], bz = forceB[2];
    const double pax = pa[0], pay = pa[1], paz = pa[2];
    const double pbx = pb[0], pby = pb[1], pbz = pb[2];
    const int32_t lengthA = a.kept;
    const int32_t lengthB = b.deferredCount > 0 ? b.deferredAt[0] : b.kept;
    const int32_t both = lengthA < lengthB ? lengthA : lengthB;
    int32_t k = 0;
    for (; k < both; ++k) {
        addLink(packed[a.inside[k]], a.factor[k], pax, pay, paz, ax, ay, az);
        addLink(packed[b.inside[k]], b.factor[k], pbx, pby, pbz, bx, by, bz);
    }
    for (int32_t ka = k; ka < lengthA; ++ka) addLink(packed[a.inside[ka]], a.factor[ka], pax, pay, paz, ax, ay, az);
    for (int32_t kb = k; kb < lengthB; ++kb) addLink(packed[b.inside[kb]], b.factor[kb], pbx, pby, pbz, bx, by, bz);
    forceA.setValue(ax, ay, az);
    forceB.setValue(bx, by, bz);
    return lengthB;
}

void addRest(const PairList &list, int32_t from, int32_t partner, const SbVec3f &p, SbVec3f &force,
             const PackedPosition *packed) {
    float x = force[0], y = force[1], z = force[2];
    const double px = p[0], py = p[1], pz = p[2];
    int32_t k = from;
    for (int32_t d = 0; d < list.deferredCount; ++d) {
        for (; k < list.deferredAt[d]; ++k) addLink(packed[list.inside[k]], list.factor[k], px, py, pz, x, y, z);
        // The partner, now where it ends this step: measured as the filter
        // would have measured it.
        const PackedPosition &q = packed[partner];
        const double dx = px - static_cast<double>(q.x);
        const double dy = py - static_cast<double>(q.y);
        const double dz = pz - static_cast<double>(q.z);
        const double d2 = dx * dx + dy * dy + dz * dz;
        if (isPairInside(d2)) addLink(q, pairFactor(d2), px, py, pz, x, y, z);
    }
    for (; k < list.kept; ++k) addLink(packed[list.inside[k]], list.factor[k], px, py, pz, x, y, z);
    force.setValue(x, y, z);
}

namespace pair_kernels {
void pairFactorsBatch(const double *d2, double *k, int32_t n, bool wide) {
    alignas(32) double chunk[kMaxNeighbours + kLanes];
    alignas(32) double factor[kMaxNeighbours + kLanes];
    for (int32_t start = 0; start < n; start += kMaxNeighbours) {
        const int32_t count = n - start < kMaxNeighbours ? n - start : kMaxNeighbours;
        for (int32_t i = 0; i < count; ++i) chunk[i] = d2[start + i];
        formFactors(chunk, factor, count, wide);
        for (int32_t i = 0; i < count; ++i) k[start + i] = factor[i];
    }
}

bool wideVectorsAvailable() { return kWideAvailable; }

bool kernelsAvailable(Kernels kernels) {
    switch (kernels) {
    case Kernels::baseline: return true;
    case Kernels::wide: return kWideAvailable;
    case Kernels::widest: return kWidestAvailable;
    }
    return false;
}
void useKernels(Kernels kernels) {
    useWidest = kernels == Kernels::widest && kWidestAvailable;
    useWide = kernels != Kernels::baseline && kWideAvailable;
}
}  // namespace pair_kernels
