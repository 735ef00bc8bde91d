#pragma once

#include <cstddef>
#include <span>

namespace tembrolin {

// The size of the membership matrix of n values over k representatives.
struct MembershipShape {
    std::size_t rows;     // n
    std::size_t columns;  // k + 1: one per representative, then the missing column
    std::size_t cells;    // rows * columns
};

// Checks the representatives (at least one, strictly increasing) and sizes the
// matrix. A size that cannot be represented as a count of doubles throws
// std::bad_alloc, as an allocation of it would.
MembershipShape membership_shape(std::size_t n, std::span<const double> representatives);

// The linear membership of each value to its two neighbouring representatives,
// as a row-major n x (k + 1) matrix written into out, which holds shape.cells
// doubles for the representatives checked by membership_shape; NaN values
// belong to the last column. The caller owns the storage: at a million rows the
// matrix is hundreds of megabytes, too much to build twice.
void membership(std::span<const double> x, std::span<const double> representatives,
                std::span<double> out);

}  // namespace tembrolin
