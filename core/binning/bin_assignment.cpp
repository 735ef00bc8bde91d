#include "binning/bin_assignment.hpp"

#include "sort/sorted_search.hpp"

namespace tembrolin {

void assign_bins(std::span<const double> x, std::span<const double> splits,
                 std::span<std::int64_t> out) {
    const BinSlots bin_slot(splits);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const std::size_t slot = bin_slot(x[i]);
        out[i] = slot > splits.size() ? -1 : static_cast<std::int64_t>(slot);  // NaN: -1
    }
}

}  // namespace tembrolin
