#include "binning/bin_assignment.hpp"

#include "sort/sorted_search.hpp"

namespace tembrolin {

void assign_bins(std::span<const double> x, std::span<const double> splits,
                 std::span<std::int64_t> out) {
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double v = x[i];
        // Searched even for a NaN, whose result is discarded: no branch in the loop.
        const auto index = static_cast<std::int64_t>(count_elements<Side::below>(splits, v));
        out[i] = v != v ? -1 : index;
    }
}

}  // namespace tembrolin
