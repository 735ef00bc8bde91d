#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "types/binary_summary_row.hpp"
#include "types/representative.hpp"

namespace tembrolin {

// One row per bin of the (prepared) split points, then a row for the
// observations whose x is NaN if there are any. y must hold only 0 and 1;
// x and y have the same length.
std::vector<BinarySummaryRow> summarize_bins_binary(std::span<const double> x,
                                                    std::span<const std::int32_t> y,
                                                    std::span<const double> splits,
                                                    Representative representative);

}  // namespace tembrolin
