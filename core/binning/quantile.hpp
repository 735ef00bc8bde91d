#pragma once

#include <cstddef>
#include <limits>
#include <span>

namespace tembrolin {

// Where the q-quantile of m ascending values lies: between positions j and c,
// at fraction f of the way (linear interpolation at h = (m - 1) * q).
struct QuantilePosition {
    std::size_t j;
    std::size_t c;
    double f;
};

// Requires m >= 1; q outside [0, 1], NaN included, is refused.
QuantilePosition quantile_position(std::size_t m, double q);

// The value at fraction f between two neighbouring order statistics.
double interpolate(double lower, double upper, double f);

// The q-quantile of an ascending sequence (NaN when it is empty). Reads only the two
// positions quantile_position names, so a sequence whose order statistics sit
// in place at those positions serves as well as a fully sorted one.
inline double binning_quantile(std::span<const double> sorted, double q) {
    if (sorted.empty()) return std::numeric_limits<double>::quiet_NaN();  // nothing to read
    const QuantilePosition p = quantile_position(sorted.size(), q);
    return interpolate(sorted[p.j], sorted[p.c], p.f);
}

}  // namespace tembrolin
