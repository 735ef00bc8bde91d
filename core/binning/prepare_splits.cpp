#include "binning/prepare_splits.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "sort/radix_sort.hpp"

namespace tembrolin {

SplitPoints prepare_splits(std::span<const double> values) {
    SplitPoints out;
    if (values.empty()) return out;
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
