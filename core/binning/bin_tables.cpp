#include "binning/bin_tables.hpp"

#include <limits>

#include "binning/order_statistics.hpp"

namespace tembrolin {

BinBounds bin_bounds(std::size_t b, std::span<const double> splits) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    return {b == 0 ? -inf : splits[b - 1], b < splits.size() ? splits[b] : inf};
}

double share(std::int64_t part, std::int64_t whole) {
    return whole > 0 ? static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

std::vector<std::vector<double>> sized_lists(std::span<const std::int64_t> counts) {
    std::vector<std::vector<double>> lists(counts.size());
    for (std::size_t s = 0; s < counts.size(); ++s) {
        lists[s].reserve(static_cast<std::size_t>(counts[s]));
    }
    return lists;
}

double bin_representative(Representative representative, std::int64_t count, double sum,
                          std::span<double> values) {
    if (count == 0) return std::numeric_limits<double>::quiet_NaN();
    if (representative == Representative::mean) return sum / static_cast<double>(count);
    return select_quantile(values, 0.5);
}

}  // namespace tembrolin
