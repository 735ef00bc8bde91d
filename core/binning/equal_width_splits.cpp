#include "binning/equal_width_splits.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "binning/finite_values.hpp"
#include "binning/quantile.hpp"

namespace tembrolin {
namespace {

struct Range {
    double lo;
    double hi;
};

// One pass, no copy: the smallest and largest finite value.
Range full_range(std::span<const double> x) {
    bool found = false;
    Range r{0.0, 0.0};
    for (const double v : x) {
        if (!std::isfinite(v)) continue;
        if (!found || v < r.lo) r.lo = v;
        if (!found || v > r.hi) r.hi = v;
        found = true;
    }
    if (!found) throw std::invalid_argument("binning: x no contiene valores finitos");
    return r;
}

Range quantile_range(std::span<const double> x, double lower_quantile, double upper_quantile) {
    const std::vector<double> s = finite_sorted_values(x);
    // Negated so that a NaN quantile is refused as well.
    if (!(lower_quantile >= 0.0 && upper_quantile <= 1.0 && lower_quantile < upper_quantile)) {
        throw std::invalid_argument("binning: lower_quantile debe ser menor que upper_quantile");
    }
    return {binning_quantile(s, lower_quantile), binning_quantile(s, upper_quantile)};
}

// The quartiles pushed out by k interquartile ranges, but never beyond the
// finite values themselves.
Range iqr_range(std::span<const double> x, double k) {
    const std::vector<double> s = finite_sorted_values(x);
    const double min = s.front();
    const double max = s.back();
    if (!std::isfinite(k) || k < 0.0) {
        throw std::invalid_argument("binning: k debe ser finito y no negativo");
    }
    const double q1 = binning_quantile(s, 0.25);
    const double q3 = binning_quantile(s, 0.75);
    const double iqr = q3 - q1;
    if (!(iqr > 0.0)) return {min, max};
    const double t = iqr * k;
    return {q1 - t > min ? q1 - t : min, t + q3 < max ? t + q3 : max};
}

Range find_range(std::span<const double> x, RangeMode range, double lower_quantile,
                 double upper_quantile, double k) {
    switch (range) {
        case RangeMode::full:
            return full_range(x);
        case RangeMode::quantile:
            return quantile_range(x, lower_quantile, upper_quantile);
        case RangeMode::iqr:
            return iqr_range(x, k);
    }
    throw std::invalid_argument("range debe ser 'full', 'quantile' o 'iqr'");
}

}  // namespace

SplitPoints equal_width_splits(std::span<const double> x, std::uint64_t n_bins, RangeMode range,
                               double lower_quantile, double upper_quantile, double k) {
    if (n_bins == 0) throw std::invalid_argument("binning: n_bins debe ser al menos 1");
    const auto [lo, hi] = find_range(x, range, lower_quantile, upper_quantile, k);
    if (n_bins == 1 || lo == hi) return {};
    SplitPoints out = reserve_split_points(n_bins);
    const auto bins = static_cast<double>(n_bins);
    double w = (hi - lo) / bins;
    // Two finite bounds more than the largest double apart: divide each first.
    if (std::isinf(hi - lo) && std::isfinite(lo) && std::isfinite(hi)) w = hi / bins - lo / bins;
    for (std::uint64_t i = 1; i < n_bins; ++i) {
        // The product is rounded before the sum (the build forbids fused multiply-add).
        const double e = static_cast<double>(i) * w + lo;
        if (std::isfinite(e) && (out.empty() || e > out.back())) out.push_back(e);
    }
    return out;
}

}  // namespace tembrolin
