#pragma once

#include <cstddef>
#include <limits>
#include <string_view>

namespace tembrolin {

// Which value of x stands for a segment or bin.
enum class Representative { mean, median };

// "mean" or "median", compared whole and case-sensitively.
Representative parse_representative(std::string_view name);

// The representative of a group of `count` x values: NaN for an empty group,
// else sum() / count or median(). Each caller sums in its own stated order, and
// only the chosen statistic is computed.
template <class Sum, class Median>
double representative_value(Representative representative, std::size_t count, Sum sum,
                            Median median) {
    if (count == 0) return std::numeric_limits<double>::quiet_NaN();
    if (representative == Representative::mean) return sum() / static_cast<double>(count);
    return median();
}

}  // namespace tembrolin
