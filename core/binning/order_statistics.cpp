#include "binning/order_statistics.hpp"

#include <algorithm>

#include "binning/quantile.hpp"
#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

bool sorts_before(double a, double b) { return order_key(a) < order_key(b); }

// Places the middle wanted position first, which splits the rest of the
// positions into two independent subranges: about log2(#positions) passes.
void select_range(double* origin, double* first, double* last, const std::size_t* wanted_first,
                  const std::size_t* wanted_last) {
    while (wanted_first != wanted_last) {
        const std::size_t* middle = wanted_first + (wanted_last - wanted_first) / 2;
        double* nth = origin + *middle;
        std::nth_element(first, nth, last, sorts_before);
        select_range(origin, first, nth, wanted_first, middle);
        first = nth + 1;
        wanted_first = middle + 1;
    }
}

}  // namespace

void select_order_statistics(std::span<double> values, std::vector<std::size_t> positions) {
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    double* origin = values.data();
    select_range(origin, origin, origin + values.size(), positions.data(),
                 positions.data() + positions.size());
}

double select_quantile(std::span<double> values, double q) {
    const QuantilePosition p = quantile_position(values.size(), q);
    select_order_statistics(values, {p.j, p.c});
    return interpolate(values[p.j], values[p.c], p.f);
}

}  // namespace tembrolin
