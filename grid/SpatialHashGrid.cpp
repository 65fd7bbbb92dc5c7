#include "grid/SpatialHashGrid.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

namespace {

// Per-axis multipliers, primes. The hash terms are formed in uint32_t so that
// overflow wraps (defined) and the bit pattern is that of int32 two's complement.
constexpr uint32_t kMulX = 786059u;
constexpr uint32_t kMulY = 898727u;
constexpr uint32_t kMulZ = 999983u;
constexpr uint32_t kCellOffset = 1000u;

inline int32_t bucketOfHash(uint32_t bits) {
    const int32_t h = static_cast<int32_t>(bits);   // modular since C++20, GCC always
    const int32_t r = h % kBucketCount;             // sign of h; never INT_MIN % -1
    return r < 0 ? -r : r;
}

}  // namespace

// Counts start at zero, so an insert or query before the first clear() reads
// no stale count and writes no entry out of its bucket.
SpatialHashGrid::SpatialHashGrid(float size) : cellSize(size) { clear(); }

void SpatialHashGrid::clear() {
    for (int32_t b = 0; b < kBucketCount; ++b) buckets[b].count = 0;
}

int32_t SpatialHashGrid::hashCell(int32_t x, int32_t y, int32_t z) {
    const uint32_t hx = (static_cast<uint32_t>(x) + kCellOffset) * kMulX;
    const uint32_t hy = (static_cast<uint32_t>(y) + kCellOffset) * kMulY;
    const uint32_t hz = (static_cast<uint32_t>(z) + kCellOffset) * kMulZ;
    return bucketOfHash(hx ^ hy ^ hz);
}

int32_t SpatialHashGrid::cellOf(float coordinate) const {
    const double q = std::floor(static_cast<double>(coordinate) / static_cast<double>(cellSize));
    if (std::isnan(q)) return 0;
    if (q <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (q >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(q);
}

int32_t SpatialHashGrid::hashPosition(float x, float y, float z) const {
    return hashCell(cellOf(x), cellOf(y), cellOf(z));
}

void SpatialHashGrid::insert(int32_t index, float x, float y, float z) {
    Bucket &bucket = buckets[hashPosition(x, y, z)];
    if (bucket.count < kBucketCapacity) bucket.indices[bucket.count++] = index;
}

void SpatialHashGrid::neighbourBuckets(float x, float y, float z, const Bucket *visit[27]) const {
    // Terms start at (c - 1 + 1000) * multiplier and step by the multiplier:
    // with wrap-around this equals the terms hashCell forms for c-1, c, c+1.
    const uint32_t hx0 = (static_cast<uint32_t>(cellOf(x)) - 1u + kCellOffset) * kMulX;
    const uint32_t hy0 = (static_cast<uint32_t>(cellOf(y)) - 1u + kCellOffset) * kMulY;
    const uint32_t hz0 = (static_cast<uint32_t>(cellOf(z)) - 1u + kCellOffset) * kMulZ;
    int v = 0;
    uint32_t hx = hx0;
    for (int dx = 0; dx < 3; ++dx, hx += kMulX) {
        uint32_t hy = hy0;
        for (int dy = 0; dy < 3; ++dy, hy += kMulY) {
            uint32_t hz = hz0;
            for (int dz = 0; dz < 3; ++dz, hz += kMulZ) visit[v++] = &buckets[bucketOfHash(hx ^ hy ^ hz)];
        }
    }
}

int32_t SpatialHashGrid::queryNeighbours(float x, float y, float z) {
    const Bucket *visit[27];
    neighbourBuckets(x, y, z, visit);
    int32_t n = 0;
    for (const Bucket *bucket : visit) {
        const int32_t room = kMaxNeighbours - n;
        const int32_t take = bucket->count < room ? bucket->count : room;
        if (take <= 0) continue;
        std::memcpy(neighbours + n, bucket->indices, static_cast<std::size_t>(take) * sizeof(int32_t));
        n += take;
        if (n == kMaxNeighbours) break;
    }
    return n;
}

void SpatialHashGrid::setCellSize(float size) { cellSize = size; }
