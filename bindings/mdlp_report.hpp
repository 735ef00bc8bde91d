#pragma once

// What the two extension modules share of MDLP: the checks every entry point
// makes first and the one-call report on raw data (_tembrolin.mdlp_full_raw and
// tembrolin._native.mdlp_fit differ only in the candidate rule).

#include <cstdint>
#include <string>

#include "glue.hpp"
#include "mdlp/segment_evaluation.hpp"
#include "mdlp/segment_summary.hpp"
#include "prep/cut_points.hpp"

namespace tembrolin::bindings {

// What every MDLP entry point checks first, in this order: the lengths of x and
// y (each with its own message), then `monotonicity`.
MdlpParams checked_params(const py::array& x, const py::array& y, const char* lengths,
                          std::int64_t minobs, std::int32_t monotonicity, std::int32_t mono_dir,
                          double alpha_pos, double beta_struct, bool force_first_split);

// {"mdlp", "summary", "metadata"} of x and y, with the candidate cuts that `candidates`
// names ("boundary" or "neighbour"), checked after `representative`; in `workspace`
// when given, which no other call may be using.
py::dict mdlp_full_raw_report(const carray<double>& x, const carray<double>& y, std::int64_t minobs,
                              std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos,
                              double beta_struct, bool force_first_split, const py::object& value,
                              double percentile, const std::string& representative,
                              const std::string& candidates, MdlpWorkspace* workspace = nullptr);

}  // namespace tembrolin::bindings
