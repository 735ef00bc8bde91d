#pragma once

// An optimal partition of P ordered pre-bins into contiguous bins: the
// constraints, the answer, and the names users give them.
//
// The objective of a partition is a sum of one term per bin. To make the search
// exact, each bin's term (a double) is first rounded down to a multiple of 2^-s
// and the partition's objective is the exact integer sum of those multiples; s is
// the largest shift at which P times the largest term of any non-empty bin still
// fits below 2^62, so the rounding costs at most one part in 2^62 / P of that
// largest term. An exact sum does not depend on the order of addition, so the
// best prefix of a partition is the best in every extension, and the dynamic
// programme finds exactly what a search of every partition finds, ties included.
//
// Ties between partitions of equal objective go, in this order, to:
//   1. fewer bins;
//   2. the cut sequence that is smaller read from its last cut backwards (the
//      last cut further left; if equal, the one before it further left; ...).
// With trend "auto", ascending and descending are each solved so; the larger
// objective wins and an equal one goes to ascending.
//
// Every bin must hold positive weight: a bin without observations has no rate.
// Neighbouring rates are compared as doubles (events / weight, or sum / count),
// and trends are non-strict: equal neighbouring rates are allowed.

#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace tembrolin {

enum class Trend { none, ascending, descending, automatic, peak, valley };
enum class BinaryObjective { iv, js };

// Each field's default switches its constraint off.
struct PartitionConstraints {
    Trend trend = Trend::none;
    double min_bin_size = 0.0;  // bounds on the weight of every bin
    double max_bin_size = std::numeric_limits<double>::infinity();
    std::int64_t min_n_bins = 1;
    std::int64_t max_n_bins = 0;  // 0: no upper limit
    double min_rate_diff = 0.0;   // |rate difference| of neighbouring bins, at least
    double max_pvalue = 1.0;      // neighbouring bins must differ at this level
    double min_bin_events = 0.0;  // binary target only: class weights of every bin
    double min_bin_non_events = 0.0;
};

struct OptimalPartition {
    std::vector<std::int64_t> cuts;  // first pre-bin of every bin after the first
    double objective;                // NaN when infeasible
    bool feasible;
    Trend trend;  // the trend the answer keeps: auto resolves to one direction
};

// "ascending", "descending", "auto", "peak", "valley"; anything else throws.
Trend parse_trend(std::string_view name);
// "iv" or "js"; anything else throws.
BinaryObjective parse_binary_objective(std::string_view name);
std::string_view trend_name(Trend trend);

// Throws std::invalid_argument, naming the field, for bounds that make no sense.
void check_constraints(const PartitionConstraints& constraints);

}  // namespace tembrolin
