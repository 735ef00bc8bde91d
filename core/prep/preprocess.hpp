#pragma once

#include <optional>
#include <span>

#include "types/preprocessed_sample.hpp"

namespace tembrolin {

// Drops missing and infinite observations (counting them by kind), binarises a
// continuous target at `value` or at the `percentile` of the kept targets, and
// sorts the kept observations by x, class 0 first within equal x.
// The caller has checked that x and y have the same length.
PreprocessedSample preprocess_data(std::span<const double> x, std::span<const double> y,
                                   std::optional<double> value, double percentile);

}  // namespace tembrolin
