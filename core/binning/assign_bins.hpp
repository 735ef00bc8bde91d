#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tembrolin {

// The number of split points strictly below v, i.e. its right-closed bin
// (v must not be NaN). A lower-bound search on the test v > s, written without
// branches: the loop runs ceil(log2 k) times whatever v is, and the choice
// compiles to a conditional move, so random data cost no mispredictions.
inline std::size_t bin_index(double v, std::span<const double> splits) {
    std::size_t len = splits.size();
    if (len == 0) return 0;
    const double* base = splits.data();
    while (len > 1) {
        const std::size_t half = len / 2;
        base = v > base[half] ? base + half : base;
        len -= half;
    }
    return static_cast<std::size_t>(base - splits.data()) + (v > *base ? 1 : 0);
}

// The slot of an observation in the bin tables: its bin, or k + 1 for a NaN.
inline std::size_t bin_slot(double v, std::span<const double> splits) {
    return std::isnan(v) ? splits.size() + 1 : bin_index(v, splits);
}

// Writes into out (as long as x) the bin index of every value of x, -1 for NaN.
void assign_bins(std::span<const double> x, std::span<const double> splits,
                 std::span<std::int64_t> out);

}  // namespace tembrolin
