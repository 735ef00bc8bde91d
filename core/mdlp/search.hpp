#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "mdlp/segment_evaluation.hpp"
#include "prep/cut_points.hpp"

namespace tembrolin {

// Splits the table recursively by the MDLP test and returns every evaluation,
// accepted or not, in depth-first pre-order: a segment, then all of its left
// part, then all of its right part.
std::vector<SegmentEvaluation> mdlp_search(const CutPointTable& table, const MdlpParams& params);

// The cut points of a clean sample taken as given, then the search.
std::vector<SegmentEvaluation> mdlp_core(std::span<const double> x, std::span<const std::int32_t> y,
                                         const MdlpParams& params);

// Preprocessing of a raw sample, then mdlp_core on it. The caller has checked
// that x and y have the same length.
std::vector<SegmentEvaluation> mdlp_raw_core(std::span<const double> x, std::span<const double> y,
                                             std::optional<double> value, double percentile,
                                             const MdlpParams& params);

}  // namespace tembrolin
