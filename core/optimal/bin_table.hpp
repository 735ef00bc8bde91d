#pragma once

// Every candidate bin [i, j) of P pre-bins (0 <= i < j <= P) with what the
// search reads of it. A bin's sums are its pre-bins' values added left to right
// from 0.0, so that any other code that adds them so gets the same bits.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "optimal/partition_problem.hpp"

namespace tembrolin {

struct BinCell {
    double weight;      // c0 + c1, or count
    double rate;        // c1 / weight, or sum / count; 0 for an empty bin
    double spread;      // for the neighbour test: c1, or the within-bin variance
    std::int64_t term;  // objective term, rounded down to a multiple of 2^-scale
    bool allowed;       // non-empty and within every per-bin bound
};

struct BinTable {
    std::size_t pre_bins;
    int scale;  // an objective in units is the sum of terms; in value, times 2^-scale
    std::vector<BinCell> cells;

    static std::size_t index(std::size_t start, std::size_t end) {
        return end * (end - 1) / 2 + start;
    }
    const BinCell& at(std::size_t start, std::size_t end) const { return cells[index(start, end)]; }
};

// Binary target: class weights per pre-bin. The term of a bin is its
// information value, or its Jensen-Shannon contribution, with the package's
// WoE correction (see the source).
BinTable binary_bin_table(std::span<const double> c0, std::span<const double> c1,
                          BinaryObjective objective, const PartitionConstraints& constraints);

// Continuous target: weights, sums and sums of squares of the target per pre-bin.
// The term of a bin is sum^2 / count.
BinTable continuous_bin_table(std::span<const double> count, std::span<const double> sum,
                              std::span<const double> sum_sq,
                              const PartitionConstraints& constraints);

}  // namespace tembrolin
