#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sort/order_statistics.hpp"

namespace tembrolin {

// Only finite values take part in the binning's quantiles: NaN and both
// infinities are left out. No finite value at all is an error.
void require_finite_values(std::size_t count);

// Where the q-quantile of m ascending values lies: h = (m - 1) * q. Requires
// m >= 1; q outside [0, 1], NaN included, is refused.
QuantilePosition quantile_position(std::size_t m, double q);

// The q-quantile of a non-empty ascending sequence (reads only the two order
// statistics at quantile_position).
inline double binning_quantile(std::span<const double> sorted, double q) {
    return value_at(sorted, quantile_position(sorted.size(), q));
}

// The level of the i-th of n_bins - 1 quantile splits: i / n_bins.
double quantile_level(std::uint64_t i, std::uint64_t n_bins);

// The finite values of x, ascending.
std::vector<double> finite_sorted_values(std::span<const double> x);

// The finite values of x counted by the leading bits of their sort keys: an
// order statistic then costs gathering the one bucket it falls in, not a sort.
struct FiniteHistogram {
    std::size_t count = 0;  // finite values, at least one
    double min = 0.0;       // the extremes, for comparisons only: a zero's sign is not kept
    double max = 0.0;
    std::vector<std::size_t> buckets;
};

// One pass over x.
FiniteHistogram histogram_of_finite(std::span<const double> x);

// The i / n_bins quantiles (n_bins >= 2), i = 1 .. n_bins - 1, of the finite
// values of x, each exactly binning_quantile of the sorted finite values.
std::vector<double> quantiles_of_finite(std::span<const double> x, const FiniteHistogram& histogram,
                                        std::uint64_t n_bins);

}  // namespace tembrolin
