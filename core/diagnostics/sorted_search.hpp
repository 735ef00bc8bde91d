#pragma once

#include <cstddef>
#include <span>

namespace tembrolin {

// Binary searches over a short sorted sequence, free of branches: the values
// looked up arrive in random order, and a mispredicted branch per halving would
// cost more than the search itself. Neither is meant for a NaN v.

// The number of leading elements e with before(e, v): the partition point.
template <class Before>
std::size_t partition_point(std::span<const double> sorted, double v, Before before) {
    std::size_t len = sorted.size();
    if (len == 0) return 0;
    const double* base = sorted.data();
    while (len > 1) {
        const std::size_t half = len / 2;
        base = before(base[half], v) ? base + half : base;
        len -= half;
    }
    return static_cast<std::size_t>(base - sorted.data()) + (before(*base, v) ? 1 : 0);
}

// The number of elements strictly below v (the lower-bound position).
inline std::size_t count_below(std::span<const double> sorted, double v) {
    return partition_point(sorted, v, [](double e, double value) { return e < value; });
}

// The number of elements at or below v (the upper-bound position).
inline std::size_t count_at_or_below(std::span<const double> sorted, double v) {
    return partition_point(sorted, v, [](double e, double value) { return e <= value; });
}

}  // namespace tembrolin
