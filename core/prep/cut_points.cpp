#include "prep/cut_points.hpp"

#include <cstddef>

namespace tembrolin {
namespace {

// The midpoint of two neighbours. Between adjacent doubles it may round up to
// the upper value, and between huge values it may overflow; the cut must still
// keep the lower value on its left and the upper value on its right.
double cut_between(double lower, double upper) {
    const double mid = (upper + lower) * 0.5;
    if (!(lower < upper) || (lower <= mid && mid < upper)) return mid;
    const double halves = upper * 0.5 + lower * 0.5;
    if (lower <= halves && halves < upper) return halves;
    return lower;
}

}  // namespace

CutPointTable compute_boundaries(std::span<const double> x, std::span<const std::int32_t> y) {
    const std::size_t n = x.size();
    CutPointTable table;
    if (n == 0) return table;
    table.reserve(n);
    table.push_back({x[0], 0, 0});
    std::int64_t c0 = y[0] == 0 ? 1 : 0;
    std::int64_t c1 = 1 - c0;
    double prev_x = x[0];
    std::int32_t prev_y = y[0];
    for (std::size_t i = 1; i < n; ++i) {
        // An ordinary inequality: a NaN always differs.
        if (x[i] != prev_x && y[i] != prev_y) {
            table.push_back({cut_between(prev_x, x[i]), c0, c1});
        }
        if (y[i] == 0) {
            ++c0;
        } else {
            ++c1;
        }
        prev_x = x[i];
        prev_y = y[i];
    }
    table.push_back({x[n - 1], c0, c1});
    return table;
}

}  // namespace tembrolin
