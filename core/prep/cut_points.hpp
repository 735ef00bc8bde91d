#pragma once

#include <cstdint>
#include <span>

#include "types/cut_point_table.hpp"

namespace tembrolin {

// Lists the places where both x and the class change between neighbours of a
// sample taken in the order given (meant to be clean and sorted by x).
CutPointTable compute_boundaries(std::span<const double> x, std::span<const std::int32_t> y);

}  // namespace tembrolin
