#include "binning/quantile_splits.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

#include "binning/finite_values.hpp"
#include "binning/order_statistics.hpp"
#include "binning/quantile.hpp"
#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

// Up to this many quantiles, selecting their order statistics beats a full sort.
constexpr std::uint64_t most_selected_quantiles = 256;

double quantile_level(std::uint64_t i, std::uint64_t n_bins) {
    return static_cast<double>(i) / static_cast<double>(n_bins);
}

// Puts in place every order statistic the quantiles of n_bins bins read, and
// the extremes; a sort when there are many.
void order_for_quantiles(std::vector<double>& s, std::uint64_t n_bins) {
    if (n_bins - 1 > most_selected_quantiles) {
        sort_doubles(s);
        return;
    }
    std::vector<std::size_t> positions{0, s.size() - 1};
    for (std::uint64_t i = 1; i < n_bins; ++i) {
        const QuantilePosition p = quantile_position(s.size(), quantile_level(i, n_bins));
        positions.push_back(p.j);
        positions.push_back(p.c);
    }
    select_order_statistics(s, std::move(positions));
}

}  // namespace

SplitPoints quantile_splits(std::span<const double> x, std::uint64_t n_bins) {
    if (n_bins == 0) throw std::invalid_argument("binning: n_bins debe ser al menos 1");
    std::vector<double> s = finite_values(x);
    if (n_bins == 1) return {};
    // Only compared with ==, < and >=, where -0.0 and +0.0 are alike.
    const auto [min_it, max_it] = std::minmax_element(s.begin(), s.end());
    const double min = *min_it;
    const double max = *max_it;
    if (min == max) return {};
    SplitPoints out = reserve_split_points(n_bins);
    order_for_quantiles(s, n_bins);
    for (std::uint64_t i = 1; i < n_bins; ++i) {
        const double e = binning_quantile(s, quantile_level(i, n_bins));
        // A split at the largest value would leave the last bin empty; one at
        // the smallest still separates it from the rest.
        if (std::isfinite(e) && e >= min && e < max && (out.empty() || e > out.back())) {
            out.push_back(e);
        }
    }
    return out;
}

}  // namespace tembrolin
