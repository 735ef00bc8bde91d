#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace tembrolin {

// Selection instead of a full sort where only a few order statistics matter.
// Ties are broken as sort_doubles breaks them (-0.0 before +0.0), so the values
// found are bit for bit those a full sort puts at the same positions.

// Rearranges values (none NaN) so that every listed position holds its order
// statistic. Positions must be below values.size().
void select_order_statistics(std::span<double> values, std::vector<std::size_t> positions);

// binning_quantile of the values once sorted, found by selection; the values
// (non-empty, none NaN) are reordered.
double select_quantile(std::span<double> values, double q);

}  // namespace tembrolin
