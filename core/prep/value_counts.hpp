#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "prep/cut_points.hpp"

namespace tembrolin {

// The class counts of each distinct x of a 0/1 sample, ascending in the order of
// the doubles' sort keys (so -0.0 and +0.0 are kept apart, -0.0 first), and the
// class tally of the observations whose x is NaN. MDLP needs nothing more, so
// counts taken on parts of a sample and merged give the fit of the whole.
struct ValueCounts {
    std::vector<double> values;
    std::vector<std::int64_t> c0;
    std::vector<std::int64_t> c1;
    std::int64_t missing_c0 = 0;
    std::int64_t missing_c1 = 0;
};

// The same counts read in place, so that a caller's arrays need no copy to be
// checked, merged or fitted.
struct CountsView {
    std::span<const double> values;
    std::span<const std::int64_t> c0;
    std::span<const std::int64_t> c1;
    std::int64_t missing_c0 = 0;
    std::int64_t missing_c1 = 0;
};

// The counts of x against y (0 or 1 each); ±inf are values like any other.
ValueCounts count_values(std::span<const double> x, std::span<const std::int32_t> y);

// The counts of two samples taken together: equal values (by their bits) add up.
ValueCounts merge_value_counts(const CountsView& a, const CountsView& b);

// Refuses counts that no sample gives: arrays of different lengths, a NaN value,
// values not strictly ascending by sort key, a negative count.
void check_value_counts(const CountsView& counts);

// The finite part of the counts as the sorted sample of the core's preprocessing
// would hold it, in runs: per group of equal x (-0.0 == +0.0), its class-0
// observations, then its class-1 ones, each class in sort-key order.
std::vector<SampleRun> sample_runs(const CountsView& counts);

}  // namespace tembrolin
