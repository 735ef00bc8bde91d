#pragma once

#include <cstdint>
#include <vector>

#include "mdlp/segment_evaluation.hpp"
#include "prep/cut_points.hpp"

namespace tembrolin {

// The widest vector unit this machine offers to the screen.
ScanWidth widest_scan_width();

// Screens every cut strictly inside the segment with a cheap approximation of
// its weighted entropy and fills `candidates`, in ascending order, with every
// admissible cut that may hold the lowest exact value; the exact minimum is
// always among them. Returns false, leaving the work to the plain scan, when
// the segment is too small to gain or its counts are out of the range where
// the error bound holds. `width` must not exceed widest_scan_width().
bool screen_segment(const CutPointTable& table, const SegmentSpan& segment,
                    const MdlpParams& params, ScanWidth width,
                    std::vector<std::uint64_t>& candidates);

}  // namespace tembrolin
