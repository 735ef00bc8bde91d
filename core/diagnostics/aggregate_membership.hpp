#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace tembrolin {

// The membership-weighted sum of values over each row of a row-major n x k matrix,
// optionally standardised to mean 0 and sample standard deviation 1.
std::vector<double> aggregate_membership(std::span<const double> matrix, std::size_t n,
                                         std::size_t k, std::span<const double> values,
                                         bool standardize);

}  // namespace tembrolin
