#pragma once

#include <cstdint>
#include <span>

#include "binning/split_points.hpp"

namespace tembrolin {

// The i / n_bins quantiles of the finite values of x, i = 1 .. n_bins - 1,
// keeping those that are finite, increasing and below the largest value.
SplitPoints quantile_splits(std::span<const double> x, std::uint64_t n_bins);

}  // namespace tembrolin
