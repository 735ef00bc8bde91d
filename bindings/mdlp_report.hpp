#pragma once

// The MDLP helpers both extension modules share: the parameters, the evaluation
// table, and the whole one-call report on raw data (_tembrolin.mdlp_full_raw and
// tembrolin._native.mdlp_fit differ only in the candidate rule).

#include "glue.hpp"
#include "mdlp/params.hpp"
#include "mdlp/segment_evaluation.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tembrolin::bindings {

// The search parameters; `monotonicity` is checked here.
MdlpParams mdlp_params(std::int64_t minobs, std::int32_t monotonicity, std::int32_t mono_dir,
                       double alpha_pos, double beta_struct, bool force_first_split);

// The evaluation table: one element per evaluated segment, in search order.
py::dict evaluation_dict(const std::vector<SegmentEvaluation>& evaluations);

// Checks the arguments in order (lengths, monotonicity, value, then with the lock
// released representative and candidates), runs the pipeline with the lock
// released, and returns {"mdlp", "summary", "metadata"}.
py::dict mdlp_full_raw_report(const carray<double>& x, const carray<double>& y,
                              std::int64_t minobs, std::int32_t monotonicity,
                              std::int32_t mono_dir, double alpha_pos, double beta_struct,
                              bool force_first_split, const py::object& value, double percentile,
                              const std::string& representative, std::string_view candidates);

}  // namespace tembrolin::bindings
