#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "binning/bin_summaries.hpp"
#include "mdlp/segment_evaluation.hpp"
#include "prep/cut_points.hpp"
#include "prep/preprocess.hpp"
#include "prep/value_counts.hpp"
#include "types/representative.hpp"

namespace tembrolin {

// One final segment (left, right] of x with its class counts.
struct SegmentRow {
    double left;   // excluded; -inf for the first segment
    double right;  // included; +inf for the last segment
    std::int64_t c0;
    std::int64_t c1;
    std::int64_t total;
    double p1;  // c1 / total, 0.0 when total is 0
};

struct MdlpResult {
    std::vector<SegmentEvaluation> evaluations;  // in search order
    std::vector<SegmentRow> segments;            // ascending in x
};

// Everything the one-call report returns.
struct MdlpFullResult {
    std::vector<SegmentEvaluation> evaluations;
    std::vector<BinarySummaryRow> rows;
    PreprocessingCounts counts;
};

// The search over a cut-point table, then its accepted cuts as the final segments
// from -inf to +inf; nothing for an empty table.
MdlpResult mdlp_on_table(const CutPointTable& table, const MdlpParams& params);

// The same over the candidate cuts of a clean sorted sample.
MdlpResult mdlp_with_summary(std::span<const double> x, std::span<const std::int32_t> y,
                             const MdlpParams& params,
                             CandidateRule candidates = CandidateRule::neighbour);

// What a one-call report allocates in proportion to its rows (the class keys with
// the sort's scratch, and the cut-point table), kept by a caller that reports many
// columns in turn: the next call reuses memory already faulted in instead of fresh
// pages. Its contents between calls mean nothing; one call at a time may use it.
struct MdlpWorkspace {
    ClassKeys keys;
    CutPointTable table;
};

// Preprocessing, search, final segments and their report with the missing row.
// The caller has checked that x and y have the same length.
MdlpFullResult mdlp_full_raw_core(std::span<const double> x, std::span<const double> y,
                                  std::optional<double> value, double percentile,
                                  const MdlpParams& params, Representative representative,
                                  CandidateRule candidates);

// The same in the caller's workspace: the same result, bit for bit.
MdlpFullResult mdlp_full_raw_core(std::span<const double> x, std::span<const double> y,
                                  std::optional<double> value, double percentile,
                                  const MdlpParams& params, Representative representative,
                                  CandidateRule candidates, MdlpWorkspace& workspace);

// The report of mdlp_full_raw_core on a 0/1 sample known only by its counts: the
// same evaluations, rows and counters, bit for bit, as on the sample itself.
MdlpFullResult mdlp_full_from_counts(const CountsView& counts, const MdlpParams& params,
                                     Representative representative, CandidateRule candidates);

}  // namespace tembrolin
