#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "binning/bin_summaries.hpp"
#include "prep/value_counts.hpp"
#include "types/representative.hpp"

namespace tembrolin {

// The rows of summarize_bins_binary for the sample that checked counts spell out,
// over prepared split points: the same bounds, counts, shares, rates and medians,
// bit for bit. A mean adds value × count per distinct value in ascending order,
// so it may differ in its last bits from the sample's, added in input order.
std::vector<BinarySummaryRow> summarize_counted_bins(const CountsView& counts,
                                                     std::span<const double> splits,
                                                     Representative representative);

// Mean and quartiles of a continuous target known by its distinct values
// (ascending, no NaN) and their counts: those of summarize_bins_continuous for the
// same targets, bit for bit, the mean included (both add the sorted targets one
// by one from 0.0). All NaN for no target.
struct TargetSummary {
    double mean;
    double p25;
    double median;
    double p75;
};

TargetSummary summarize_counted_target(std::span<const double> values,
                                       std::span<const std::uint64_t> counts);

}  // namespace tembrolin
