#include "bench/baseline/BaselineGrid.h"

#include <cmath>
#include <limits>

namespace {

constexpr uint32_t kMulX = 786059u;
constexpr uint32_t kMulY = 898727u;
constexpr uint32_t kMulZ = 999983u;
constexpr uint32_t kCellOffset = 1000u;

inline int32_t bucketOfHash(uint32_t bits) {
    const int32_t h = static_cast<int32_t>(bits);
    const int32_t r = h % kBucketCount;
    return r < 0 ? -r : r;
}

}  // namespace

void BaselineGrid::clear() {
    for (int32_t b = 0; b < kBucketCount; ++b) buckets[b].count = 0;
}

int32_t BaselineGrid::hashCell(int32_t x, int32_t y, int32_t z) {
    const uint32_t hx = (static_cast<uint32_t>(x) + kCellOffset) * kMulX;
    const uint32_t hy = (static_cast<uint32_t>(y) + kCellOffset) * kMulY;
    const uint32_t hz = (static_cast<uint32_t>(z) + kCellOffset) * kMulZ;
    return bucketOfHash(hx ^ hy ^ hz);
}

int32_t BaselineGrid::cellOf(float coordinate) const {
    const double q = std::floor(static_cast<double>(coordinate) / static_cast<double>(cellSize));
    if (std::isnan(q)) return 0;
    if (q <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (q >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(q);
}

int32_t BaselineGrid::hashPosition(float x, float y, float z) const {
    return hashCell(cellOf(x), cellOf(y), cellOf(z));
}

void BaselineGrid::insert(int32_t index, float x, float y, float z) {
    Bucket &bucket = buckets[hashPosition(x, y, z)];
    if (bucket.count < kBucketCapacity) bucket.indices[bucket.count++] = index;
}

int32_t BaselineGrid::queryNeighbours(float x, float y, float z) {
    const uint32_t hx0 = (static_cast<uint32_t>(cellOf(x)) - 1u + kCellOffset) * kMulX;
    const uint32_t hy0 = (static_cast<uint32_t>(cellOf(y)) - 1u + kCellOffset) * kMulY;
    const uint32_t hz0 = (static_cast<uint32_t>(cellOf(z)) - 1u + kCellOffset) * kMulZ;
    int32_t n = 0;
    uint32_t hx = hx0;
    for (int dx = 0; dx < 3; ++dx, hx += kMulX) {
        uint32_t hy = hy0;
        for (int dy = 0; dy < 3; ++dy, hy += kMulY) {
            uint32_t hz = hz0;
            for (int dz = 0; dz < 3; ++dz, hz += kMulZ) {
                const Bucket &bucket = buckets[bucketOfHash(hx ^ hy ^ hz)];
                for (int32_t e = 0; e < bucket.count; ++e) {
                    if (n == kMaxNeighbours) return n;
                    neighbours[n++] = bucket.indices[e];
                }
            }
        }
    }
    return n;
}
