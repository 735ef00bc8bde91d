#pragma once

#include <cstdint>
#include <span>

namespace tembrolin {

// Writes into out (as long as x) the right-closed bin of every value of x
// among the (prepared) split points, -1 for NaN.
void assign_bins(std::span<const double> x, std::span<const double> splits,
                 std::span<std::int64_t> out);

}  // namespace tembrolin
