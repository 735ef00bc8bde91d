#include "binning/quantile.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tembrolin {

QuantilePosition quantile_position(std::size_t m, double q) {
    // Written so that NaN fails too: it would otherwise turn into an index.
    if (!(q >= 0.0 && q <= 1.0)) {
        throw std::invalid_argument("binning: los cuantiles deben estar entre 0 y 1");
    }
    const double h = static_cast<double>(m - 1) * q;
    // h <= m - 1 once rounded; the clamp keeps a rounded-up m - 1 inside the sample.
    const std::size_t j = std::min(static_cast<std::size_t>(std::floor(h)), m - 1);
    const std::size_t c = std::min(static_cast<std::size_t>(std::ceil(h)), m - 1);
    return {j, c, h - static_cast<double>(j)};
}

double interpolate(double lower, double upper, double f) {
    // A whole position or a tie is the order statistic itself: the formula
    // would turn inf into NaN and -0.0 into +0.0.
    if (f == 0.0 || lower == upper) return lower;
    // Between a finite value and an infinity every point but the finite end is
    // that infinity; inf - (-inf) below stays NaN on purpose.
    if (std::isinf(lower) != std::isinf(upper)) return std::isinf(lower) ? lower : upper;
    const double width = upper - lower;
    // Two finite values of opposite signs near the largest double: their
    // distance overflows, but the weighted sum of the two ends does not.
    if (std::isinf(width) && std::isfinite(lower)) return lower * (1.0 - f) + upper * f;
    return width * f + lower;
}

}  // namespace tembrolin
