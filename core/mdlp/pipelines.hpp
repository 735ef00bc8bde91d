#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "mdlp/params.hpp"
#include "mdlp/segment_evaluation.hpp"
#include "mdlp/segment_summary.hpp"
#include "prep/cut_points.hpp"
#include "types/binary_summary_row.hpp"
#include "types/representative.hpp"

namespace tembrolin {

// Everything the one-call report returns, with the preprocessing counters.
struct MdlpFullResult {
    std::vector<SegmentEvaluation> evaluations;
    std::vector<SegmentRow> segments;
    std::vector<BinarySummaryRow> rows;
    std::uint64_t n_input = 0;
    std::uint64_t n_used = 0;
    std::uint64_t n_missing_x = 0;
    std::uint64_t n_missing_y = 0;
    std::uint64_t n_missing_both = 0;
    std::uint64_t n_non_finite = 0;
    bool target_was_binary = true;
    double threshold = 0.0;
};

// Preprocessing of a raw sample, then the MDLP search on it. The caller has
// checked that x and y have the same length.
std::vector<SegmentEvaluation> mdlp_raw_core(std::span<const double> x, std::span<const double> y,
                                             std::optional<double> value, double percentile,
                                             const MdlpParams& params);

// Preprocessing, search, final segments and their report with the missing row.
MdlpFullResult mdlp_full_raw_core(std::span<const double> x, std::span<const double> y,
                                  std::optional<double> value, double percentile,
                                  const MdlpParams& params, Representative representative,
                                  CandidateRule candidates = CandidateRule::neighbour);

}  // namespace tembrolin
