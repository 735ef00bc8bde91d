#pragma once

#include <string_view>

namespace tembrolin {

// Which value of x stands for a segment or bin.
enum class Representative : int { mean = 0, median = 1 };

// "mean" or "median", compared whole and case-sensitively.
Representative parse_representative(std::string_view name);

}  // namespace tembrolin
