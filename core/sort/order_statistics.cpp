#include "sort/order_statistics.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>

#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

bool sorts_before(double a, double b) { return order_key(a) < order_key(b); }

// Places the middle wanted position first, which splits the rest of the
// positions into two independent subranges: about log2(#positions) passes.
template <class T, class Before>
void select_range(T* origin, T* first, T* last, const std::size_t* wanted_first,
                  const std::size_t* wanted_last, Before before) {
    while (wanted_first != wanted_last) {
        const std::size_t* middle = wanted_first + (wanted_last - wanted_first) / 2;
        T* nth = origin + *middle;
        std::nth_element(first, nth, last, before);
        select_range(origin, first, nth, wanted_first, middle, before);
        first = nth + 1;
        wanted_first = middle + 1;
    }
}

template <class T, class Before>
void select_positions(std::span<T> values, std::vector<std::size_t> positions, Before before) {
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    T* origin = values.data();
    select_range(origin, origin, origin + values.size(), positions.data(),
                 positions.data() + positions.size(), before);
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
    select_positions(values, std::move(positions), sorts_before);
}

double select_value_at(std::span<const double> values, QuantilePosition p) {
    // Selected as sort keys, whose plain order is that of the doubles with
    // -0.0 first: one conversion, then the cheapest comparison.
    std::vector<std::uint64_t> keys(values.size());
    std::transform(values.begin(), values.end(), keys.begin(), order_key);
    return select_keys_at(keys, std::span(&p, 1)).front();
}

std::vector<double> select_keys_at(std::span<std::uint64_t> keys,
                                   std::span<const QuantilePosition> positions) {
    std::vector<std::size_t> wanted;
    wanted.reserve(2 * positions.size());
    for (const QuantilePosition& p : positions) {
        wanted.push_back(p.lower_index);
        wanted.push_back(p.upper_index);
    }
    select_positions(keys, std::move(wanted), std::less<>{});
    std::vector<double> out;
    out.reserve(positions.size());
    for (const QuantilePosition& p : positions) {
        out.push_back(interpolate(from_order_key(keys[p.lower_index]),
                                  from_order_key(keys[p.upper_index]), p.fraction));
    }
    return out;
}

CountedSequence::CountedSequence(std::span<const double> values,
                                 std::span<const std::uint64_t> counts)
    : values_(values), ends_(counts.size()) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) ends_[i] = end += counts[i];
}

std::size_t CountedSequence::run_of(std::size_t i) const {
    return static_cast<std::size_t>(std::upper_bound(ends_.begin(), ends_.end(), i) -
                                    ends_.begin());
}

}  // namespace tembrolin
