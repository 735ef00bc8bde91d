#pragma once

#include <cmath>
#include <cstddef>
#include <span>

namespace tembrolin {

// Binary searches over a short sorted sequence, free of branches: the values
// looked up arrive in random order, and a mispredicted branch per halving would
// cost more than the search itself. The loop runs ceil(log2 k) times whatever v
// is, and the choice compiles to a conditional move. A NaN v gives a count that
// means nothing; callers set NaN aside.

// Which elements a search counts: those strictly below v (the lower bound) or
// those at or below it (the upper bound).
enum class Side { below, at_or_below };

template <Side side>
std::size_t count_elements(std::span<const double> sorted, double v) {
    const auto counted = [v](double e) { return side == Side::below ? e < v : e <= v; };
    std::size_t len = sorted.size();
    if (len == 0) return 0;
    const double* base = sorted.data();
    while (len > 1) {
        const std::size_t half = len / 2;
        base = counted(base[half]) ? base + half : base;
        len -= half;
    }
    return static_cast<std::size_t>(base - sorted.data()) + (counted(*base) ? 1 : 0);
}

// The right-closed bin of v among k split points, 0 .. k, or k + 1 for a NaN:
// the slot of a value in every table of bins that keeps a row for missing values.
inline std::size_t bin_slot(double v, std::span<const double> splits) {
    return std::isnan(v) ? splits.size() + 1 : count_elements<Side::below>(splits, v);
}

// Whether every element is greater than the one before (a NaN never is) and,
// when asked, finite.
inline bool strictly_increasing(std::span<const double> values, bool require_finite) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (require_finite && !std::isfinite(values[i])) return false;
        if (i > 0 && !(values[i] > values[i - 1])) return false;
    }
    return true;
}

}  // namespace tembrolin
