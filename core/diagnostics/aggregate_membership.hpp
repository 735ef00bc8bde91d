#pragma once

#include <cstddef>
#include <span>

namespace tembrolin {

// The membership-weighted sum of values over each row of a row-major n x k matrix,
// optionally standardised to mean 0 and sample standard deviation 1, written
// into result, which holds n doubles: the caller owns the output storage.
void aggregate_membership(std::span<const double> matrix, std::size_t n, std::size_t k,
                          std::span<const double> values, bool standardize,
                          std::span<double> result);

}  // namespace tembrolin
