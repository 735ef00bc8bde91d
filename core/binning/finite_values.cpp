#include "binning/finite_values.hpp"

#include <cmath>
#include <stdexcept>

#include "sort/radix_sort.hpp"

namespace tembrolin {

std::vector<double> finite_sorted_values(std::span<const double> x) {
    std::vector<double> values;
    values.reserve(x.size());
    for (const double v : x) {
        if (std::isfinite(v)) values.push_back(v);
    }
    if (values.empty()) throw std::invalid_argument("binning: x no contiene valores finitos");
    sort_doubles(values);
    return values;
}

}  // namespace tembrolin
