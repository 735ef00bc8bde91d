#pragma once

#include <cstddef>
#include <span>

namespace tembrolin {

// The size of the membership matrix of n values over k representatives.
struct MembershipShape {
    std::size_t rows;     // n
    std::size_t columns;  // k + 1: one per representative, then the missing column
};

// Checks the representatives (at least one, strictly increasing) and sizes the
// matrix. A size that cannot be represented as a count of doubles throws
// std::bad_alloc, as an allocation of it would.
MembershipShape membership_shape(std::size_t n, std::span<const double> representatives);

// The linear membership of each value to its two neighbouring representatives,
// as a row-major n x (k + 1) matrix written into out, which holds rows * columns
// doubles for the representatives checked by membership_shape; NaN values
// belong to the last column. The caller owns the storage: at a million rows the
// matrix is hundreds of megabytes, too much to build twice.
void membership(std::span<const double> x, std::span<const double> representatives,
                std::span<double> out);

// The membership-weighted sum of values over each row of a row-major n x k matrix,
// optionally standardised to mean 0 and sample standard deviation 1, written
// into result, which holds n doubles: the caller owns the output storage.
void aggregate_membership(std::span<const double> matrix, std::size_t n, std::size_t k,
                          std::span<const double> values, bool standardize,
                          std::span<double> result);

}  // namespace tembrolin
