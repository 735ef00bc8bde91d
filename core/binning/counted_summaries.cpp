#include "binning/counted_summaries.hpp"

#include <cstddef>
#include <limits>

#include "binning/quantiles.hpp"
#include "sort/order_statistics.hpp"

namespace tembrolin {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// The order statistic at quantile q of the counted sequence, as binning_quantile
// finds it in the sorted sequence itself.
double counted_quantile(const CountedSequence& sequence, double q) {
    return value_at(sequence, quantile_position(sequence.size(), q));
}

}  // namespace

std::vector<BinarySummaryRow> summarize_counted_bins(const CountsView& counts,
                                                     std::span<const double> splits,
                                                     Representative representative) {
    const std::span<const double> values = counts.values;
    std::vector<std::uint64_t> observations(values.size());
    std::int64_t n = counts.missing_c0 + counts.missing_c1;
    for (std::size_t i = 0; i < values.size(); ++i) {
        n += counts.c0[i] + counts.c1[i];
        observations[i] = static_cast<std::uint64_t>(counts.c0[i] + counts.c1[i]);
    }

    std::vector<BinarySummaryRow> rows;
    rows.reserve(splits.size() + 2);
    std::size_t first = 0;
    for (std::size_t b = 0; b <= splits.size(); ++b) {
        // Values ascend, so each bin is the run of values up to its right bound.
        const double right = b < splits.size() ? splits[b] : inf;
        std::size_t last = first;
        std::int64_t c0 = 0;
        std::int64_t c1 = 0;
        double sum = 0.0;
        while (last < values.size() && (b == splits.size() || values[last] <= right)) {
            c0 += counts.c0[last];
            c1 += counts.c1[last];
            sum = values[last] * static_cast<double>(observations[last]) + sum;
            ++last;
        }
        const std::int64_t count = c0 + c1;
        const double middle = representative_value(
            representative, static_cast<std::size_t>(count), [sum] { return sum; },
            [&] {
                const CountedSequence run(values.subspan(first, last - first),
                                          std::span(observations).subspan(first, last - first));
                return value_at(run, median_position(run.size()));
            });
        rows.push_back({b == 0 ? -inf : splits[b - 1], right, count, share(count, n), c0, c1,
                        share(c1, count), middle});
        first = last;
    }
    const std::int64_t m = counts.missing_c0 + counts.missing_c1;
    if (m > 0) {
        rows.push_back({nan, nan, m, share(m, n), counts.missing_c0, counts.missing_c1,
                        share(counts.missing_c1, m), nan});
    }
    return rows;
}

TargetSummary summarize_counted_target(std::span<const double> values,
                                       std::span<const std::uint64_t> counts) {
    const CountedSequence sequence(values, counts);
    if (sequence.size() == 0) return {nan, nan, nan, nan};
    double sum = 0.0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        for (std::uint64_t r = 0; r < counts[i]; ++r) sum += values[i];
    }
    return {sum / static_cast<double>(sequence.size()), counted_quantile(sequence, 0.25),
            counted_quantile(sequence, 0.5), counted_quantile(sequence, 0.75)};
}

}  // namespace tembrolin
