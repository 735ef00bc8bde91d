#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tembrolin {

// Interior cut points, finite and strictly increasing; k of them make k + 1
// right-closed bins.
using SplitPoints = std::vector<double>;

enum class SplitMethod { equal_width, quantile, custom };

// "equal_width", "quantile" or "custom", compared whole and case-sensitively;
// nothing for any other string.
std::optional<SplitMethod> split_method_named(std::string_view name);

// The range that equal-width splits divide.
enum class RangeMode { full, quantile, iqr };

// "full", "quantile" or "iqr", compared whole and case-sensitively.
RangeMode parse_range_mode(std::string_view name);

// n_bins bins of equal width over the finite values of x: their full range,
// the range between two quantiles, or the range fenced at k interquartile
// ranges beyond the quartiles.
SplitPoints equal_width_splits(std::span<const double> x, std::uint64_t n_bins, RangeMode range,
                               double lower_quantile, double upper_quantile, double k);

// The i / n_bins quantiles of the finite values of x, i = 1 .. n_bins - 1,
// keeping those that are finite, increasing and below the largest value.
SplitPoints quantile_splits(std::span<const double> x, std::uint64_t n_bins);

// The equal-width or quantile split points of the sample that ascending values
// (infinities allowed at the ends, no NaN) repeated `counts` times spell out: the
// same points as from the sample itself.
SplitPoints counted_splits(SplitMethod method, std::span<const double> values,
                           std::span<const std::uint64_t> counts, std::uint64_t n_bins,
                           RangeMode range, double lower_quantile, double upper_quantile, double k);

// The caller's split points made ascending and unique; any that is not finite
// is an error. The caller's order and duplicates are of no consequence.
SplitPoints prepare_splits(std::span<const double> values);

}  // namespace tembrolin
