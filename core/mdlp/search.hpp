#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mdlp/params.hpp"
#include "mdlp/segment_evaluation.hpp"
#include "types/cut_point_table.hpp"

namespace tembrolin {

// Splits the table recursively by the MDLP test and returns every evaluation,
// accepted or not, in depth-first pre-order: a segment, then all of its left
// part, then all of its right part.
std::vector<SegmentEvaluation> mdlp_search(const CutPointTable& table, const MdlpParams& params);

// The cut points of a clean sample taken as given, then the search.
std::vector<SegmentEvaluation> mdlp_core(std::span<const double> x,
                                         std::span<const std::int32_t> y,
                                         const MdlpParams& params);

}  // namespace tembrolin
