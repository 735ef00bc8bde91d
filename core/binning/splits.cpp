#include "binning/splits.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <utility>

#include "binning/quantiles.hpp"
#include "sort/radix_sort.hpp"

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
    require_finite_values(found ? 1 : 0);
    return r;
}

// The sorted finite values of a sample, held whole or counted.
struct SortedValues {
    std::vector<double> s;
    double min() const { return s.front(); }
    double max() const { return s.back(); }
    double quantile(double q) const { return binning_quantile(s, q); }
};

struct CountedValues {
    CountedSequence s;
    double min() const { return s.at(0); }
    double max() const { return s.at(s.size() - 1); }
    double quantile(double q) const { return value_at(s, quantile_position(s.size(), q)); }
};

template <class Sorted>
Range quantile_range(const Sorted& s, double lower_quantile, double upper_quantile) {
    // Negated so that a NaN quantile is refused as well.
    if (!(lower_quantile >= 0.0 && upper_quantile <= 1.0 && lower_quantile < upper_quantile)) {
        throw std::invalid_argument("binning: lower_quantile debe ser menor que upper_quantile");
    }
    return {s.quantile(lower_quantile), s.quantile(upper_quantile)};
}

// The quartiles pushed out by k interquartile ranges, but never beyond the
// finite values themselves.
template <class Sorted>
Range iqr_range(const Sorted& s, double k) {
    const double min = s.min();
    const double max = s.max();
    if (!std::isfinite(k) || k < 0.0) {
        throw std::invalid_argument("binning: k debe ser finito y no negativo");
    }
    const double q1 = s.quantile(0.25);
    const double q3 = s.quantile(0.75);
    const double iqr = q3 - q1;
    if (!(iqr > 0.0)) return {min, max};
    const double t = iqr * k;
    return {q1 - t > min ? q1 - t : min, t + q3 < max ? t + q3 : max};
}

// `sorted()` gives the sorted finite values, and is called only by the ranges that need them.
template <class Full, class MakeSorted>
Range find_range(RangeMode range, double lower_quantile, double upper_quantile, double k, Full full,
                 MakeSorted sorted) {
    switch (range) {
        case RangeMode::full:
            return full();
        case RangeMode::quantile:
            return quantile_range(sorted(), lower_quantile, upper_quantile);
        case RangeMode::iqr:
            return iqr_range(sorted(), k);
    }
    throw std::invalid_argument("range debe ser 'full', 'quantile' o 'iqr'");
}

void require_bins(std::uint64_t n_bins) {
    if (n_bins == 0) throw std::invalid_argument("binning: n_bins debe ser al menos 1");
}

// Room for the n_bins - 1 split points of n_bins >= 2 bins; a count beyond what
// a vector can hold is a memory failure, never a length error or a wrapped size.
SplitPoints reserve_split_points(std::uint64_t n_bins) {
    SplitPoints out;
    if (n_bins - 1 > out.max_size()) throw std::bad_alloc();
    out.reserve(static_cast<std::size_t>(n_bins - 1));
    return out;
}

// n_bins equal parts of [lo, hi], once the range is known.
SplitPoints equal_width_over(Range range, std::uint64_t n_bins) {
    const auto [lo, hi] = range;
    if (n_bins == 1 || lo == hi) return {};
    SplitPoints out = reserve_split_points(n_bins);
    const auto bins = static_cast<double>(n_bins);
    // Two finite bounds more than the largest double apart (so lo < 0 < hi): i
    // widths could overflow too, so each cut weighs the bounds, each divided
    // first; both terms stay within their bound and have opposite signs.
    const bool overflows = std::isinf(hi - lo) && std::isfinite(lo) && std::isfinite(hi);
    const double lo_part = lo / bins;
    const double hi_part = hi / bins;
    // w: the width of one bin.
    const double w = (hi - lo) / bins;
    for (std::uint64_t i = 1; i < n_bins; ++i) {
        const auto at = static_cast<double>(i);
        // The product is rounded before the sum (the build forbids fused multiply-add).
        const double e = overflows ? lo_part * (bins - at) + hi_part * at : at * w + lo;
        if (std::isfinite(e) && (out.empty() || e > out.back())) out.push_back(e);
    }
    return out;
}

// The quantiles that make split points, appended to `out`. Only compared with ==,
// < and >=, where -0.0 and +0.0 are alike.
SplitPoints kept_quantiles(std::span<const double> quantiles, double min, double max,
                           SplitPoints out) {
    for (const double e : quantiles) {
        // A split at the largest value would leave the last bin empty; one at
        // the smallest still separates it from the rest.
        if (std::isfinite(e) && e >= min && e < max && (out.empty() || e > out.back())) {
            out.push_back(e);
        }
    }
    return out;
}

}  // namespace

std::optional<SplitMethod> split_method_named(std::string_view name) {
    if (name == "equal_width") return SplitMethod::equal_width;
    if (name == "quantile") return SplitMethod::quantile;
    if (name == "custom") return SplitMethod::custom;
    return std::nullopt;
}

RangeMode parse_range_mode(std::string_view name) {
    if (name == "full") return RangeMode::full;
    if (name == "quantile") return RangeMode::quantile;
    if (name == "iqr") return RangeMode::iqr;
    throw std::invalid_argument("range debe ser 'full', 'quantile' o 'iqr'");
}

SplitPoints equal_width_splits(std::span<const double> x, std::uint64_t n_bins, RangeMode range,
                               double lower_quantile, double upper_quantile, double k) {
    require_bins(n_bins);
    return equal_width_over(
        find_range(
            range, lower_quantile, upper_quantile, k, [x] { return full_range(x); },
            [x] { return SortedValues{finite_sorted_values(x)}; }),
        n_bins);
}

SplitPoints quantile_splits(std::span<const double> x, std::uint64_t n_bins) {
    require_bins(n_bins);
    const FiniteHistogram histogram = histogram_of_finite(x);
    if (n_bins == 1 || histogram.min == histogram.max) return {};
    // Room first: too many bins fail as memory before any quantile is computed.
    SplitPoints out = reserve_split_points(n_bins);
    return kept_quantiles(quantiles_of_finite(x, histogram, n_bins), histogram.min, histogram.max,
                          std::move(out));
}

SplitPoints counted_splits(SplitMethod method, std::span<const double> values,
                           std::span<const std::uint64_t> counts, std::uint64_t n_bins,
                           RangeMode range, double lower_quantile, double upper_quantile,
                           double k) {
    require_bins(n_bins);
    // The finite values sit between the infinities of an ascending sequence.
    std::size_t first = 0;
    std::size_t last = values.size();
    while (first < last && !std::isfinite(values[first])) ++first;
    while (last > first && !std::isfinite(values[last - 1])) --last;
    const CountedValues sorted{
        CountedSequence(values.subspan(first, last - first), counts.subspan(first, last - first))};
    require_finite_values(sorted.s.size());
    if (method == SplitMethod::equal_width) {
        return equal_width_over(
            find_range(
                range, lower_quantile, upper_quantile, k,
                [&] { return Range{sorted.min(), sorted.max()}; }, [&] { return sorted; }),
            n_bins);
    }
    if (n_bins == 1 || sorted.min() == sorted.max()) return {};
    std::vector<double> quantiles = reserve_split_points(n_bins);
    for (std::uint64_t i = 1; i < n_bins; ++i) {
        quantiles.push_back(sorted.quantile(quantile_level(i, n_bins)));
    }
    return kept_quantiles(quantiles, sorted.min(), sorted.max(), reserve_split_points(n_bins));
}

SplitPoints prepare_splits(std::span<const double> values) {
    SplitPoints out;
    out.reserve(values.size());
    for (const double v : values) {
        if (!std::isfinite(v)) {
            throw std::invalid_argument("binning: los puntos de corte deben ser finitos");
        }
        out.push_back(v);
    }
    // The radix sort puts -0.0 before +0.0, so a pair of zeros always keeps -0.0.
    sort_doubles(out);
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace tembrolin
