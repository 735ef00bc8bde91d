#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tembrolin {

// Interior cut points, finite and strictly increasing; k of them make k + 1
// right-closed bins.
using SplitPoints = std::vector<double>;

enum class SplitMethod : int { equal_width = 0, quantile = 1, custom = 2 };

// "equal_width", "quantile" or "custom", compared whole and case-sensitively;
// nothing for any other string.
std::optional<SplitMethod> split_method_named(std::string_view name);

// The range that equal-width splits divide.
enum class RangeMode : int { full = 0, quantile = 1, iqr = 2 };

// "full", "quantile" or "iqr", compared whole and case-sensitively.
RangeMode parse_range_mode(std::string_view name);

// Room for the n_bins - 1 split points of n_bins bins; a count beyond what a
// vector can hold is a memory failure, never a length error or a wrapped size.
SplitPoints reserve_split_points(std::uint64_t n_bins);

}  // namespace tembrolin
