#pragma once
// Spatial hash grid: space cut into cubes of edge cellSize, each cube hashed
// into one of a fixed number of buckets. The grid knows particles only by
// their index; it never sees a particle record.

#include <cstdint>

constexpr int32_t kBucketCount = 311;     // prime; changing it changes every hash
constexpr int32_t kBucketCapacity = 40;   // entries per bucket; the 41st insert is dropped
constexpr int32_t kMaxNeighbours = 400;   // cap of one query's list; bounds the pair work

// One bucket: 164 bytes. Entries 0 .. count-1 are valid, in insertion order.
struct Bucket {
    int32_t count;
    int32_t indices[kBucketCapacity];
};

struct SpatialHashGrid {
    Bucket buckets[kBucketCount];
    int32_t neighbours[kMaxNeighbours];   // result of the latest queryNeighbours
    float cellSize;                       // world units; 7.0, the pair force's cut-off

    // Sets cellSize and empties every bucket; entries and neighbours stay unwritten.
    explicit SpatialHashGrid(float size);

    void clear();
    void insert(int32_t index, float x, float y, float z);
    // Lists the indices of the 27 cells around (x, y, z) into neighbours; returns
    // how many (0 .. kMaxNeighbours). Not de-duplicated; cut at kMaxNeighbours.
    int32_t queryNeighbours(float x, float y, float z);
    // The 27 buckets that queryNeighbours visits for (x, y, z), in its order,
    // for a caller that walks their entries in place instead of copying them.
    // Walking them in order and stopping after kMaxNeighbours entries lists
    // exactly what queryNeighbours lists.
    void neighbourBuckets(float x, float y, float z, const Bucket *visit[27]) const;
    void setCellSize(float size);

    // Bucket of a cell, 0 .. kBucketCount-1, with 32-bit wrap-around arithmetic.
    static int32_t hashCell(int32_t x, int32_t y, int32_t z);
    // Bucket of the cell holding a position.
    int32_t hashPosition(float x, float y, float z) const;
    // Cell of one coordinate: floor(coordinate / cellSize) in double. A quotient
    // that is not a number maps to 0; one outside int32 is clamped to its range.
    int32_t cellOf(float coordinate) const;
};
