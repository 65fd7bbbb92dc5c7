#pragma once
// The straightforward hash grid: every query copies the 27 buckets into its
// neighbour list. Kept as the benchmarks' reference for the program's grid,
// with the very same hash, bucket and query order; the program never uses it.

#include "grid/SpatialHashGrid.h"

#include <cstdint>

struct BaselineGrid {
    Bucket buckets[kBucketCount];
    int32_t neighbours[kMaxNeighbours];   // result of the latest queryNeighbours
    float cellSize;                       // world units; 7.0

    explicit BaselineGrid(float size) : cellSize(size) {}

    void clear();
    void insert(int32_t index, float x, float y, float z);
    int32_t queryNeighbours(float x, float y, float z);
    static int32_t hashCell(int32_t x, int32_t y, int32_t z);
    int32_t hashPosition(float x, float y, float z) const;
    int32_t cellOf(float coordinate) const;
};
