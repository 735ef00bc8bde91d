#include "diagnostics/membership.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

#include "diagnostics/sorted_search.hpp"

namespace tembrolin {

MembershipShape membership_shape(std::size_t n, std::span<const double> representatives) {
    const std::size_t k = representatives.size();
    if (k == 0) throw std::invalid_argument("membership: faltan representantes");
    for (std::size_t i = 1; i < k; ++i) {
        // Negated so that a NaN fails too.
        if (!(representatives[i] > representatives[i - 1])) {
            throw std::invalid_argument(
                "membership: representantes deben ser crecientes y únicos");
        }
    }
    // Neither a vector nor a NumPy array can hold more bytes than ptrdiff_t counts;
    // beyond that the size would wrap, so it fails as memory exhaustion instead.
    constexpr auto max_cells =
        static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(double);
    const std::size_t columns = k + 1;  // k counts array elements: no wrap
    if (n != 0 && columns > max_cells / n) throw std::bad_alloc();
    return {n, columns, n * columns};
}

void membership(std::span<const double> x, std::span<const double> representatives,
                std::span<double> out) {
    const std::size_t k = representatives.size();
    const std::size_t columns = k + 1;
    const double first = representatives[0];
    const double last = representatives[k - 1];
    double* row = out.data();
    for (const double v : x) {
        std::fill(row, row + columns, 0.0);
        if (std::isnan(v)) {
            row[k] = 1.0;
        } else if (k == 1 || first >= v) {
            row[0] = 1.0;
        } else if (v >= last) {
            row[k - 1] = 1.0;
        } else {
            // first < v < last: the first representative above v is interior.
            const std::size_t j = count_at_or_below(representatives, v);
            const double lo = representatives[j - 1];
            const double hi = representatives[j];
            const double t = (v - lo) / (hi - lo);
            row[j - 1] = 1.0 - t;
            row[j] = t;
        }
        row += columns;
    }
}

}  // namespace tembrolin
