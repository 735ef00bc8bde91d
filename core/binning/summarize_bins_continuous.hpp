#pragma once

#include <span>
#include <vector>

#include "binning/continuous_summary_row.hpp"
#include "types/representative.hpp"

namespace tembrolin {

// One row per bin of the (prepared) split points, then a row for the
// observations whose x is NaN if there are any. Observations whose y is NaN
// take no part at all. x and y have the same length.
std::vector<ContinuousSummaryRow> summarize_bins_continuous(std::span<const double> x,
                                                            std::span<const double> y,
                                                            std::span<const double> splits,
                                                            Representative representative);

}  // namespace tembrolin
