#pragma once

#include <span>

#include "binning/split_points.hpp"

namespace tembrolin {

// The caller's split points made ascending and unique; any that is not finite
// is an error. The caller's order and duplicates are of no consequence.
SplitPoints prepare_splits(std::span<const double> values);

}  // namespace tembrolin
