#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "types/representative.hpp"

namespace tembrolin {

// The report rows. The row of the observations whose x is missing has left,
// right and representative NaN.

// One row of a binary-target report: a bin, or an MDLP segment.
struct BinarySummaryRow {
    double left;   // excluded
    double right;  // included
    std::int64_t count;
    double percentage;  // a fraction of the report's base, not scaled by 100
    std::int64_t c0;
    std::int64_t c1;
    double event_rate;
    double representative;
};

// One row of a continuous-target report. The target statistics are NaN for a
// row without observations.
struct ContinuousSummaryRow {
    double left;   // excluded
    double right;  // included
    std::int64_t count;
    double percentage;  // a fraction of the observations with a target, not scaled by 100
    double representative;
    double target_mean;
    double target_p25;
    double target_median;
    double target_p75;
};

// part / whole as doubles, 0.0 for an empty whole: every share and rate of a report.
template <class Count>
double share(Count part, Count whole) {
    return whole > 0 ? static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

// One row per bin of the (prepared) split points, then a row for the
// observations whose x is NaN if there are any. y must hold only 0 and 1;
// x and y have the same length.
std::vector<BinarySummaryRow> summarize_bins_binary(std::span<const double> x,
                                                    std::span<const std::int32_t> y,
                                                    std::span<const double> splits,
                                                    Representative representative);

// The same, with no representative at all (NaN, at no cost) when none is asked for;
// writes each observation's slot (its bin 0 .. k, k + 1 for a NaN x, so Slot must hold
// k + 1) to `slots`, as long as x.
template <class Slot>
std::vector<BinarySummaryRow> slot_bins_binary(std::span<const double> x,
                                               std::span<const std::int32_t> y,
                                               std::span<const double> splits,
                                               std::optional<Representative> representative,
                                               std::span<Slot> slots);

// The rows summarize_bins_binary gives over `coarse_splits`, some of the (prepared)
// `fine_splits`, from the slots slot_bins_binary wrote over those and the class-1 count
// it reported for each slot (the missing slot's last, left out when no x is missing):
// bit for bit the same, without reading y or searching each observation's bin again,
// and with each median selected among the keys of one fine bin only. The slots must be
// the ones of this x and the counts theirs; each slot is checked to be a slot of the
// fine bins, and each count to fit in its slot. Slots as long as x.
template <class Slot>
std::vector<BinarySummaryRow> regroup_bins_binary(std::span<const double> x,
                                                  std::span<const Slot> slots,
                                                  std::span<const std::int64_t> fine_c1,
                                                  std::span<const double> fine_splits,
                                                  std::span<const double> coarse_splits,
                                                  std::optional<Representative> representative);

// As summarize_bins_binary for a continuous y. Observations whose y is NaN take
// no part at all.
std::vector<ContinuousSummaryRow> summarize_bins_continuous(std::span<const double> x,
                                                            std::span<const double> y,
                                                            std::span<const double> splits,
                                                            Representative representative);

}  // namespace tembrolin
