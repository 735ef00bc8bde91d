#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

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

// The right-closed bin of a value among k split points, 0 .. k, or k + 1 for a NaN:
// the slot of a value in every table of bins that keeps a row for missing values.
// Made once for the many values of a sample: the splits are padded with +inf to
// 2^s - 1 elements (+inf is below every value but +inf itself, so no count changes)
// and each search takes exactly s halvings, each at a fixed step from the last,
// which runs in about two thirds of the time of count_elements's.
class BinSlots {
  public:
    explicit BinSlots(std::span<const double> splits) : missing_(splits.size() + 1) {
        std::size_t width = 1;  // 2^s
        while (width - 1 < splits.size()) width *= 2;
        padded_.assign(width - 1, std::numeric_limits<double>::infinity());
        std::copy(splits.begin(), splits.end(), padded_.begin());
        top_ = width / 2;
    }

    std::size_t operator()(double v) const {
        if (std::isnan(v)) return missing_;
        std::size_t below = 0;
        for (std::size_t step = top_; step > 0; step /= 2) {
            below += padded_[below + step - 1] < v ? step : 0;
        }
        return below;
    }

  private:
    std::vector<double> padded_;
    std::size_t top_ = 0;
    std::size_t missing_;
};

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
