#include "binning/bin_summaries.hpp"

#include <cmath>
#include <cstddef>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "binning/quantiles.hpp"
#include "sort/order_statistics.hpp"
#include "sort/radix_sort.hpp"
#include "sort/sorted_search.hpp"

namespace tembrolin {
namespace {

// Bins are numbered 0 .. k; slot k + 1 of every table holds the observations
// whose x is missing.

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct BinBounds {
    double left;
    double right;
};

// Bin b of k split points is (left, right]; the outer bins reach to infinity.
BinBounds bin_bounds(std::size_t b, std::span<const double> splits) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    return {b == 0 ? -inf : splits[b - 1], b < splits.size() ? splits[b] : inf};
}

// One list per slot with room for exactly the counted values, so filling them
// in a second pass never regrows a list.
std::vector<std::vector<double>> sized_lists(std::span<const std::int64_t> counts) {
    std::vector<std::vector<double>> lists(counts.size());
    for (std::size_t s = 0; s < counts.size(); ++s) {
        lists[s].reserve(static_cast<std::size_t>(counts[s]));
    }
    return lists;
}

// The median x of each bin (NaN for an empty one); `count` holds the bins' counts of
// the x whose index `kept` admits. Their keys are laid out bin after bin in one
// buffer, each bin's median then selected in its own stretch.
template <class Kept>
std::vector<double> bin_medians(std::span<const double> x, std::span<const double> splits,
                                std::span<const std::int64_t> count, Kept kept) {
    std::vector<std::size_t> next(count.size() + 1, 0);
    for (std::size_t b = 0; b < count.size(); ++b) {
        next[b + 1] = next[b] + static_cast<std::size_t>(count[b]);
    }
    std::vector<std::uint64_t> keys(next.back());
    const std::size_t missing_slot = count.size();
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!kept(i)) continue;
        const std::size_t slot = bin_slot(x[i], splits);
        if (slot != missing_slot) keys[next[slot]++] = order_key(x[i]);
    }
    std::vector<double> medians(count.size(), nan);
    std::size_t start = 0;
    for (std::size_t b = 0; b < count.size(); ++b) {
        const auto m = static_cast<std::size_t>(count[b]);
        const QuantilePosition p = median_position(m);
        if (m > 0) medians[b] = select_keys_at(std::span(keys).subspan(start, m), {&p, 1}).front();
        start += m;
    }
    return medians;
}

// The representative x of a bin: the mean from its sum in input order, or the
// median found for it.
double bin_representative(Representative representative, std::int64_t count, double sum,
                          double median) {
    return representative_value(
        representative, static_cast<std::size_t>(count), [sum] { return sum; },
        [median] { return median; });
}

}  // namespace

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

    const std::vector<double> medians = representative == Representative::median
                                            ? bin_medians(x, splits, std::span(count).first(k + 1),
                                                          [](std::size_t) { return true; })
                                            : std::vector<double>(k + 1, nan);

    const auto n = static_cast<std::int64_t>(x.size());
    const bool missing = count[missing_slot] > 0;
    std::vector<BinarySummaryRow> rows;
    rows.reserve(k + (missing ? 2 : 1));
    for (std::size_t b = 0; b <= k; ++b) {
        const BinBounds bounds = bin_bounds(b, splits);
        rows.push_back({bounds.left, bounds.right, count[b], share(count[b], n), count[b] - c1[b],
                        c1[b], share(c1[b], count[b]),
                        bin_representative(representative, count[b], sum[b], medians[b])});
    }
    if (missing) {
        const std::int64_t m = count[missing_slot];
        const std::int64_t m1 = c1[missing_slot];
        rows.push_back({nan, nan, m, share(m, n), m - m1, m1, share(m1, m), nan});
    }
    return rows;
}

std::vector<ContinuousSummaryRow> summarize_bins_continuous(std::span<const double> x,
                                                            std::span<const double> y,
                                                            std::span<const double> splits,
                                                            Representative representative) {
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

    const std::vector<double> medians =
        representative == Representative::median
            ? bin_medians(x, splits, std::span(count).first(k + 1),
                          [y](std::size_t i) { return !std::isnan(y[i]); })
            : std::vector<double>(k + 1, nan);
    std::vector<std::vector<double>> targets = sized_lists(count);
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::isnan(y[i])) continue;
        targets[bin_slot(x[i], splits)].push_back(y[i]);
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
            slot == missing_slot
                ? nan
                : bin_representative(representative, c, x_sum[slot], medians[slot]),
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
