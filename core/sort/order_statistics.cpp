#include "sort/order_statistics.hpp"

#include <algorithm>
#include <cmath>

#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

bool sorts_before(double a, double b) { return order_key(a) < order_key(b); }

// Places the middle wanted position first, which splits the rest of the
// positions into two independent subranges: about log2(#positions) passes.
void select_range(double* origin, double* first, double* last, const std::size_t* wanted_first,
                  const std::size_t* wanted_last) {
    while (wanted_first != wanted_last) {
        const std::size_t* middle = wanted_first + (wanted_last - wanted_first) / 2;
        double* nth = origin + *middle;
        std::nth_element(first, nth, last, sorts_before);
        select_range(origin, first, nth, wanted_first, middle);
        first = nth + 1;
        wanted_first = middle + 1;
    }
}

}  // namespace

QuantilePosition position_at(std::size_t m, double h) {
    // h <= m - 1 before rounding; the clamp keeps a rounded-up m - 1 inside the sample.
    const std::size_t lower = std::min(static_cast<std::size_t>(std::floor(h)), m - 1);
    const std::size_t upper = std::min(static_cast<std::size_t>(std::ceil(h)), m - 1);
    return {lower, upper, h - static_cast<double>(lower)};
}

QuantilePosition median_position(std::size_t m) {
    return position_at(m, static_cast<double>(m - 1) * 0.5);
}

double interpolate(double lower, double upper, double fraction) {
    // A whole position or a tie is the order statistic itself: the formula
    // would turn inf into NaN and -0.0 into +0.0.
    if (fraction == 0.0 || lower == upper) return lower;
    // Between a finite value and an infinity every point but the finite end is
    // that infinity; inf - (-inf) below stays NaN on purpose.
    if (std::isinf(lower) != std::isinf(upper)) return std::isinf(lower) ? lower : upper;
    const double width = upper - lower;
    // Two finite values of opposite signs near the largest double: their
    // distance overflows, but the weighted sum of the two ends does not.
    if (std::isinf(width) && std::isfinite(lower)) {
        return lower * (1.0 - fraction) + upper * fraction;
    }
    return width * fraction + lower;
}

void select_order_statistics(std::span<double> values, std::vector<std::size_t> positions) {
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    double* origin = values.data();
    select_range(origin, origin, origin + values.size(), positions.data(),
                 positions.data() + positions.size());
}

double select_value_at(std::span<double> values, QuantilePosition p) {
    select_order_statistics(values, {p.lower_index, p.upper_index});
    return value_at(values, p);
}

}  // namespace tembrolin
