#include "binning/quantile_splits.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "binning/finite_order_statistics.hpp"
#include "binning/finite_values.hpp"
#include "binning/quantile.hpp"

namespace tembrolin {
namespace {

// Up to this many quantiles, fetching their order statistics beats a full sort.
constexpr std::uint64_t most_selected_quantiles = 256;

double quantile_level(std::uint64_t i, std::uint64_t n_bins) {
    return static_cast<double>(i) / static_cast<double>(n_bins);
}

// The i / n_bins quantiles, i = 1 .. n_bins - 1, of the finite values of x,
// each exactly binning_quantile of the sorted finite values.
std::vector<double> quantiles_of_finite(std::span<const double> x,
                                        const FiniteHistogram& histogram,
                                        std::uint64_t n_bins) {
    std::vector<double> out;
    out.reserve(static_cast<std::size_t>(n_bins - 1));  // as the caller's room for the splits
    if (n_bins - 1 > most_selected_quantiles) {
        const std::vector<double> s = finite_sorted_values(x);
        for (std::uint64_t i = 1; i < n_bins; ++i) {
            out.push_back(binning_quantile(s, quantile_level(i, n_bins)));
        }
        return out;
    }
    std::vector<QuantilePosition> where;
    std::vector<std::size_t> positions;
    for (std::uint64_t i = 1; i < n_bins; ++i) {
        where.push_back(quantile_position(histogram.count, quantile_level(i, n_bins)));
        positions.push_back(where.back().j);
        positions.push_back(where.back().c);
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    const std::vector<double> values = finite_order_statistics(x, histogram, positions);
    auto value_at = [&](std::size_t position) {
        const auto it = std::lower_bound(positions.begin(), positions.end(), position);
        return values[static_cast<std::size_t>(it - positions.begin())];
    };
    for (const QuantilePosition& p : where) {
        out.push_back(interpolate(value_at(p.j), value_at(p.c), p.f));
    }
    return out;
}

}  // namespace

SplitPoints quantile_splits(std::span<const double> x, std::uint64_t n_bins) {
    if (n_bins == 0) throw std::invalid_argument("binning: n_bins debe ser al menos 1");
    const FiniteHistogram histogram = histogram_of_finite(x);
    // Only compared with ==, < and >=, where -0.0 and +0.0 are alike.
    const double min = histogram.min;
    const double max = histogram.max;
    if (n_bins == 1 || min == max) return {};
    SplitPoints out = reserve_split_points(n_bins);
    for (const double e : quantiles_of_finite(x, histogram, n_bins)) {
        // A split at the largest value would leave the last bin empty; one at
        // the smallest still separates it from the rest.
        if (std::isfinite(e) && e >= min && e < max && (out.empty() || e > out.back())) {
            out.push_back(e);
        }
    }
    return out;
}

}  // namespace tembrolin
