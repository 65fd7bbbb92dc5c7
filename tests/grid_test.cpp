#include "grid/SpatialHashGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

struct CellCase {
    int32_t x, y, z;
    int32_t bucket;
};

TEST(HashCell, KnownBuckets) {
    const CellCase cases[] = {
        {0, 0, 0, 24},     {1, 0, 0, 88},      {0, 1, 0, 63},
        {0, 0, 1, 63},     {-1, -1, -1, 221},  {1, 1, 1, 185},
        {-1000, -1000, -1000, 0},
        {2000, 0, 0, 106},  // x term wraps past 2^31; remainder negative before |r|
    };
    for (const CellCase &c : cases)
        EXPECT_EQ(SpatialHashGrid::hashCell(c.x, c.y, c.z), c.bucket) << c.x << "," << c.y << "," << c.z;
}

TEST(HashCell, ExtremeCellsStayInRange) {
    const int32_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    const int32_t values[] = {lo, lo + 1, -1001, -1000, 0, 1000, hi - 1000, hi};
    for (int32_t x : values)
        for (int32_t y : values)
            for (int32_t z : values) {
                const int32_t b = SpatialHashGrid::hashCell(x, y, z);
                EXPECT_GE(b, 0);
                EXPECT_LT(b, kBucketCount);
            }
}

struct PositionCase {
    float x, y, z;
    int32_t bucket;
};

TEST(HashPosition, CellBoundaries) {
    const SpatialHashGrid grid(7.0f);
    const PositionCase cases[] = {
        {0.0f, 0.0f, 0.0f, 24},
        {6.9999995f, 0.0f, 0.0f, 24},   // still cell 0
        {7.0f, 0.0f, 0.0f, 88},         // cell (1, 0, 0)
        {-0.1f, 0.0f, 0.0f, 156},       // floor, not truncation: cell (-1, 0, 0)
        {-0.0f, 0.0f, 0.0f, 24},
    };
    for (const PositionCase &c : cases) EXPECT_EQ(grid.hashPosition(c.x, c.y, c.z), c.bucket) << c.x;
}

TEST(HashPosition, NonFiniteAndHugeCoordinatesMapToDefinedCells) {
    const SpatialHashGrid grid(7.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float big = std::numeric_limits<float>::max();
    EXPECT_EQ(grid.cellOf(nan), 0);
    EXPECT_EQ(grid.cellOf(inf), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(grid.cellOf(-inf), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(grid.cellOf(big), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(grid.cellOf(-big), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(grid.cellOf(1.6e10f), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(grid.hashPosition(nan, nan, nan), SpatialHashGrid::hashCell(0, 0, 0));
    const SpatialHashGrid zeroCell(0.0f);   // 0/0 is not a number, x/0 infinite
    EXPECT_EQ(zeroCell.cellOf(0.0f), 0);
    EXPECT_EQ(zeroCell.cellOf(1.0f), std::numeric_limits<int32_t>::max());
}

class GridTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid = std::make_unique<SpatialHashGrid>(7.0f);
        grid->clear();
    }
    std::vector<int32_t> query(float x, float y, float z) {
        const int32_t n = grid->queryNeighbours(x, y, z);
        return std::vector<int32_t>(grid->neighbours, grid->neighbours + n);
    }
    std::unique_ptr<SpatialHashGrid> grid;
};

// Visiting order of a query at the origin: dx outermost, dz innermost.
const int32_t kOriginQueryBuckets[27] = {221, 94, 165, 253, 156, 23, 111, 25, 87,
                                         95,  88, 68,  48,  24,  63, 0,  63,  42,
                                         6,   71, 176, 66,  88,  182, 217, 268, 185};

TEST_F(GridTest, QueryVisitsTheTwentySevenCellsInOrder) {
    int32_t k = 0;
    for (int32_t dx = -1; dx <= 1; ++dx)
        for (int32_t dy = -1; dy <= 1; ++dy)
            for (int32_t dz = -1; dz <= 1; ++dz)
                EXPECT_EQ(SpatialHashGrid::hashCell(dx, dy, dz), kOriginQueryBuckets[k++]);
    // Tag each bucket with its own number as the only entry and read the order back.
    for (int32_t b = 0; b < kBucketCount; ++b) {
        grid->buckets[b].count = 1;
        grid->buckets[b].indices[0] = b;
    }
    EXPECT_EQ(query(0.0f, 0.0f, 0.0f), std::vector<int32_t>(kOriginQueryBuckets, kOriginQueryBuckets + 27));
}

TEST_F(GridTest, SharedBucketListsAParticleTwice) {
    grid->insert(5, 0.0f, 7.5f, 0.0f);   // cell (0, 1, 0): bucket 63, also the bucket of (0, 0, 1)
    EXPECT_EQ(query(0.0f, 0.0f, 0.0f), (std::vector<int32_t>{5, 5}));
}

TEST_F(GridTest, LoneParticleFindsItself) {
    grid->insert(0, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(query(0.0f, 0.0f, 0.0f), std::vector<int32_t>{0});
    grid->clear();
    EXPECT_TRUE(query(0.0f, 0.0f, 0.0f).empty());
}

TEST_F(GridTest, FortyFirstInsertIsDropped) {
    for (int32_t i = 0; i < 41; ++i) grid->insert(i, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(grid->buckets[24].count, 40);
    const std::vector<int32_t> listed = query(1.0f, 1.0f, 1.0f);
    ASSERT_EQ(listed.size(), 40u);
    for (int32_t i = 0; i < 40; ++i) EXPECT_EQ(listed[i], i);
}

TEST_F(GridTest, FullBucketsCutTheListAtFourHundred) {
    for (int32_t b = 0; b < kBucketCount; ++b) {
        grid->buckets[b].count = kBucketCapacity;
        for (int32_t e = 0; e < kBucketCapacity; ++e) grid->buckets[b].indices[e] = b * 100 + e;
    }
    const std::vector<int32_t> listed = query(0.0f, 0.0f, 0.0f);
    ASSERT_EQ(listed.size(), 400u);
    for (int32_t k = 0; k < 10; ++k)
        for (int32_t e = 0; e < kBucketCapacity; ++e)
            EXPECT_EQ(listed[k * kBucketCapacity + e], kOriginQueryBuckets[k] * 100 + e);
}

// Brute force: a query lists exactly the particles whose buckets are among
// the 27 cells' buckets, with multiplicity, in visiting order, capped at 400.
TEST_F(GridTest, QueryMatchesBruteForceOverRandomClouds) {
    uint32_t state = 12345u;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    };
    const float spans[] = {10.0f, 60.0f, 400.0f};
    for (float span : spans) {
        for (float centre : {0.0f, -3.5e4f, 1.0e5f}) {
            grid->clear();
            std::vector<float> px, py, pz;
            for (int32_t i = 0; i < 600; ++i) {
                px.push_back(centre + (next() - 0.5f) * span);
                py.push_back((next() - 0.5f) * span);
                pz.push_back((next() - 0.5f) * span);
                grid->insert(i, px[i], py[i], pz[i]);
            }
            for (int32_t probe = 0; probe < 50; ++probe) {
                const float qx = px[probe], qy = py[probe], qz = pz[probe];
                std::vector<int32_t> expected;
                const int32_t cx = grid->cellOf(qx), cy = grid->cellOf(qy), cz = grid->cellOf(qz);
                for (int32_t dx = -1; dx <= 1; ++dx)
                    for (int32_t dy = -1; dy <= 1; ++dy)
                        for (int32_t dz = -1; dz <= 1; ++dz) {
                            const int32_t b = SpatialHashGrid::hashCell(cx + dx, cy + dy, cz + dz);
                            int32_t stored = 0;   // the first 40 in index order were kept
                            for (int32_t i = 0; i < 600; ++i) {
                                if (grid->hashPosition(px[i], py[i], pz[i]) != b) continue;
                                if (stored == kBucketCapacity) break;
                                ++stored;
                                if (expected.size() < 400u) expected.push_back(i);
                            }
                        }
                EXPECT_EQ(query(qx, qy, qz), expected) << "span " << span << " probe " << probe;
            }
        }
    }
}

TEST(GridCellSize, SetCellSizeChangesTheCells) {
    SpatialHashGrid grid(7.0f);
    EXPECT_EQ(grid.cellSize, 7.0f);
    EXPECT_EQ(grid.cellOf(7.5f), 1);
    grid.setCellSize(2.0f);
    EXPECT_EQ(grid.cellSize, 2.0f);
    EXPECT_EQ(grid.cellOf(7.5f), 3);
}

}  // namespace
