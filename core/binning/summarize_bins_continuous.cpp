#include "binning/summarize_bins_continuous.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

#include "binning/assign_bins.hpp"
#include "binning/bin_tables.hpp"
#include "binning/quantile.hpp"
#include "sort/radix_sort.hpp"

namespace tembrolin {

std::vector<ContinuousSummaryRow> summarize_bins_continuous(std::span<const double> x,
                                                            std::span<const double> y,
                                                            std::span<const double> splits,
                                                            Representative representative) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const std::size_t k = splits.size();
    const std::size_t missing_slot = k + 1;

    // Counting first sizes every list exactly for the second pass.
    std::vector<std::int64_t> count(k + 2, 0);
    std::vector<double> x_sum(k + 2, 0.0);  // in input order; the missing slot's is never read
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::isnan(y[i])) continue;
        const std::size_t slot = bin_slot(x[i], splits);
        ++count[slot];
        x_sum[slot] = x[i] + x_sum[slot];
    }
    const std::int64_t used = std::accumulate(count.begin(), count.end(), std::int64_t{0});

    const bool median = representative == Representative::median;
    std::vector<std::vector<double>> targets = sized_lists(count);
    std::vector<std::vector<double>> values(k + 1);
    if (median) values = sized_lists(std::span(count).first(k + 1));
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::isnan(y[i])) continue;
        const std::size_t slot = bin_slot(x[i], splits);
        targets[slot].push_back(y[i]);
        if (median && slot != missing_slot) values[slot].push_back(x[i]);
    }

    const bool missing = count[missing_slot] > 0;
    std::vector<ContinuousSummaryRow> rows;
    rows.reserve(k + (missing ? 2 : 1));
    for (std::size_t slot = 0; slot <= (missing ? missing_slot : k); ++slot) {
        std::vector<double>& t = targets[slot];
        sort_doubles(t);
        const std::int64_t c = count[slot];
        const bool empty = t.empty();
        const BinBounds bounds =
            slot == missing_slot ? BinBounds{nan, nan} : bin_bounds(slot, splits);
        // The mean adds the sorted targets in ascending order, from 0.0.
        rows.push_back({
            bounds.left,
            bounds.right,
            c,
            share(c, used),
            slot == missing_slot ? nan
                                 : bin_representative(representative, c, x_sum[slot], values[slot]),
            empty ? nan : std::accumulate(t.begin(), t.end(), 0.0) / static_cast<double>(c),
            empty ? nan : binning_quantile(t, 0.25),
            empty ? nan : binning_quantile(t, 0.5),
            empty ? nan : binning_quantile(t, 0.75),
        });
        // Each bin's targets are done with once its row is built.
        std::vector<double>().swap(t);
    }
    return rows;
}

}  // namespace tembrolin
