#include "binning/assign_bins.hpp"

namespace tembrolin {

void assign_bins(std::span<const double> x, std::span<const double> splits,
                 std::span<std::int64_t> out) {
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double v = x[i];
        const auto index = static_cast<std::int64_t>(bin_index(v, splits));
        out[i] = v != v ? -1 : index;
    }
}

}  // namespace tembrolin
