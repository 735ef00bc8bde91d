#pragma once

#include <span>
#include <vector>

namespace tembrolin {

// The finite values of x, ascending; none at all is an error.
std::vector<double> finite_sorted_values(std::span<const double> x);

}  // namespace tembrolin
