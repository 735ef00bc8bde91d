#pragma once

#include <cstdint>
#include <span>

#include "binning/split_points.hpp"

namespace tembrolin {

// n_bins bins of equal width over the finite values of x: their full range,
// the range between two quantiles, or the range fenced at k interquartile
// ranges beyond the quartiles.
SplitPoints equal_width_splits(std::span<const double> x, std::uint64_t n_bins, RangeMode range,
                               double lower_quantile, double upper_quantile, double k);

}  // namespace tembrolin
