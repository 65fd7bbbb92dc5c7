// Fuzzes the hash grid with arbitrary positions (not-a-number, infinities and
// huge values included) through insert, queryNeighbours and clear, and checks
// after every operation what the grid promises:
//   - every position maps to a bucket 0 .. 310 and bucket counts stay 0 .. 40;
//   - a query returns 0 .. 400 entries, exactly the contents of the 27 buckets
//     around the query cell in visiting order, cut at 400;
//   - every listed entry is an index inserted since the last clear, and every
//     kept particle in one of the 27 cells is listed unless the list was cut.

#include "grid/SpatialHashGrid.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <vector>

namespace {

void fail(const char *what) {
    std::fprintf(stderr, "grid invariant broken: %s\n", what);
    std::abort();
}

struct Kept {
    int32_t index;
    int32_t cell[3];
};

// Cells a and b are neighbours when they differ by -1, 0 or 1 modulo 2^32,
// as the query's wrapping arithmetic sees them.
bool nearCell(int32_t a, int32_t b) {
    return static_cast<uint32_t>(a) - static_cast<uint32_t>(b) + 1u <= 2u;
}

int32_t offsetCell(int32_t c, int d) {
    return static_cast<int32_t>(static_cast<uint32_t>(c) + static_cast<uint32_t>(d));
}

SpatialHashGrid grid(7.0f);   // 66 KB: static, as the fire keeps it on the heap

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzInput in(data, size);

    // Mostly the fire's cell size; sometimes any, zero and not-a-number included.
    const uint8_t sizeMode = in.byte();
    grid.setCellSize(sizeMode < 200 ? 7.0f : in.anyFloat());
    grid.clear();

    std::vector<Kept> kept;        // particles in the grid since the last clear, in order
    std::vector<int32_t> expected;
    int32_t nextIndex = 0;
    float last[3] = {0.0f, 0.0f, 0.0f};

    while (!in.empty()) {
        const uint8_t op = in.byte();
        if (op < 160) {
            float p[3];
            for (int a = 0; a < 3; ++a)
                p[a] = (op & 1) ? last[a] + static_cast<float>(static_cast<int8_t>(in.byte())) / 8.0f
                                : in.mixedFloat();
            const int32_t bucketIndex = grid.hashPosition(p[0], p[1], p[2]);
            if (bucketIndex < 0 || bucketIndex >= kBucketCount) fail("bucket out of range");
            const int32_t before = grid.buckets[bucketIndex].count;
            grid.insert(nextIndex, p[0], p[1], p[2]);
            const int32_t after = grid.buckets[bucketIndex].count;
            if (before < kBucketCapacity) {
                if (after != before + 1 || grid.buckets[bucketIndex].indices[before] != nextIndex)
                    fail("insert into a bucket with room did not append");
                kept.push_back({nextIndex, {grid.cellOf(p[0]), grid.cellOf(p[1]), grid.cellOf(p[2])}});
            } else if (after != kBucketCapacity) {
                fail("full bucket changed");
            }
            for (int a = 0; a < 3; ++a) last[a] = p[a];
            ++nextIndex;
        } else if (op < 250) {
            float q[3];
            for (int a = 0; a < 3; ++a) q[a] = (op & 1) ? last[a] : in.mixedFloat();
            const int32_t n = grid.queryNeighbours(q[0], q[1], q[2]);
            if (n < 0 || n > kMaxNeighbours) fail("query count out of range");

            // The 27 buckets in visiting order, x outermost, z innermost.
            const int32_t c[3] = {grid.cellOf(q[0]), grid.cellOf(q[1]), grid.cellOf(q[2])};
            expected.clear();
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dz = -1; dz <= 1; ++dz) {
                        const int32_t b = SpatialHashGrid::hashCell(
                            offsetCell(c[0], dx), offsetCell(c[1], dy), offsetCell(c[2], dz));
                        if (b < 0 || b >= kBucketCount) fail("hashCell out of range");
                        const Bucket &bucket = grid.buckets[b];
                        for (int32_t e = 0; e < bucket.count; ++e) expected.push_back(bucket.indices[e]);
                    }
            const std::size_t want = expected.size() < static_cast<std::size_t>(kMaxNeighbours)
                                         ? expected.size()
                                         : static_cast<std::size_t>(kMaxNeighbours);
            if (static_cast<std::size_t>(n) != want) fail("query count differs from its buckets");
            for (int32_t m = 0; m < n; ++m)
                if (grid.neighbours[m] != expected[static_cast<std::size_t>(m)])
                    fail("query entry differs from its buckets");

            std::vector<bool> listed(static_cast<std::size_t>(nextIndex), false);
            for (int32_t m = 0; m < n; ++m) {
                const int32_t j = grid.neighbours[m];
                if (j < 0 || j >= nextIndex) fail("listed an index never inserted");
                listed[static_cast<std::size_t>(j)] = true;
            }
            std::vector<bool> inGrid(static_cast<std::size_t>(nextIndex), false);
            for (const Kept &k : kept) inGrid[static_cast<std::size_t>(k.index)] = true;
            for (int32_t m = 0; m < n; ++m)
                if (!inGrid[static_cast<std::size_t>(grid.neighbours[m])])
                    fail("listed an index not in the grid");
            if (n < kMaxNeighbours)
                for (const Kept &k : kept)
                    if (nearCell(k.cell[0], c[0]) && nearCell(k.cell[1], c[1]) &&
                        nearCell(k.cell[2], c[2]) && !listed[static_cast<std::size_t>(k.index)])
                        fail("a particle in a neighbouring cell was not listed");
        } else {
            grid.clear();
            kept.clear();
            if (grid.queryNeighbours(last[0], last[1], last[2]) != 0) fail("query after clear not empty");
        }
        for (int32_t b = 0; b < kBucketCount; ++b)
            if (grid.buckets[b].count < 0 || grid.buckets[b].count > kBucketCapacity)
                fail("bucket count out of range");
    }
    return 0;
}
