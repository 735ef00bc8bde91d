#include "binning/summarize_bins_binary.hpp"

#include <limits>
#include <stdexcept>

#include "binning/assign_bins.hpp"
#include "binning/bin_tables.hpp"

namespace tembrolin {

std::vector<BinarySummaryRow> summarize_bins_binary(std::span<const double> x,
                                                    std::span<const std::int32_t> y,
                                                    std::span<const double> splits,
                                                    Representative representative) {
    const std::size_t k = splits.size();
    const std::size_t missing_slot = k + 1;
    std::vector<std::int64_t> count(k + 2, 0);
    std::vector<std::int64_t> c1(k + 2, 0);
    std::vector<double> sum(k + 2, 0.0);  // in input order; the missing slot's is never read
    for (std::size_t i = 0; i < x.size(); ++i) {
        const std::int32_t target = y[i];
        // Checked before x is looked at, so a missing x does not excuse a bad y.
        if (target != 0 && target != 1) {
            throw std::invalid_argument("binning: y debe contener solo 0 y 1");
        }
        const std::size_t slot = bin_slot(x[i], splits);
        ++count[slot];
        c1[slot] += target;
        sum[slot] = x[i] + sum[slot];
    }

    // The x of each bin are only kept when a median needs them.
    std::vector<std::vector<double>> values(k + 1);
    if (representative == Representative::median) {
        values = sized_lists(std::span(count).first(k + 1));
        for (const double v : x) {
            const std::size_t slot = bin_slot(v, splits);
            if (slot != missing_slot) values[slot].push_back(v);
        }
    }

    const auto n = static_cast<std::int64_t>(x.size());
    const bool missing = count[missing_slot] > 0;
    std::vector<BinarySummaryRow> rows;
    rows.reserve(k + (missing ? 2 : 1));
    for (std::size_t b = 0; b <= k; ++b) {
        const BinBounds bounds = bin_bounds(b, splits);
        rows.push_back({bounds.left, bounds.right, count[b], share(count[b], n),
                        count[b] - c1[b], c1[b], share(c1[b], count[b]),
                        bin_representative(representative, count[b], sum[b], values[b])});
    }
    if (missing) {
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        const std::int64_t m = count[missing_slot];
        const std::int64_t m1 = c1[missing_slot];
        rows.push_back({nan, nan, m, share(m, n), m - m1, m1, share(m1, m), nan});
    }
    return rows;
}

}  // namespace tembrolin
