#include "mdlp_report.hpp"

#include <span>

#include "mdlp/pipelines.hpp"
#include "prep/cut_points.hpp"

namespace tembrolin::bindings {
namespace {

py::dict metadata_dict(const MdlpFullResult& result) {
    py::dict d;
    d["n_input"] = result.n_input;
    d["n_used"] = result.n_used;
    d["n_missing_x"] = result.n_missing_x;
    d["n_missing_y"] = result.n_missing_y;
    d["n_missing_both"] = result.n_missing_both;
    d["n_non_finite"] = result.n_non_finite;
    d["target_was_binary"] = result.target_was_binary;
    d["threshold"] = result.threshold;
    return d;
}

}  // namespace

MdlpParams mdlp_params(std::int64_t minobs, std::int32_t monotonicity, std::int32_t mono_dir,
                       double alpha_pos, double beta_struct, bool force_first_split) {
    return {alpha_pos, beta_struct, minobs, mono_dir, validate_monotonicity(monotonicity),
            force_first_split};
}

py::dict evaluation_dict(const std::vector<SegmentEvaluation>& evaluations) {
    py::dict d;
    d["found"] = column<bool>(evaluations, &SegmentEvaluation::found);
    d["pto"] = column<double>(evaluations, &SegmentEvaluation::pto);
    d["gain"] = column<double>(evaluations, &SegmentEvaluation::gain);
    d["cost_pos"] = column<double>(evaluations, &SegmentEvaluation::cost_pos);
    d["cost_struct"] = column<double>(evaluations, &SegmentEvaluation::cost_struct);
    d["cost"] = column<double>(evaluations, &SegmentEvaluation::cost);
    d["idx"] = column<std::int64_t>(evaluations, &SegmentEvaluation::idx);
    return d;
}

py::dict mdlp_full_raw_report(const carray<double>& x, const carray<double>& y,
                              std::int64_t minobs, std::int32_t monotonicity,
                              std::int32_t mono_dir, double alpha_pos, double beta_struct,
                              bool force_first_split, const py::object& value, double percentile,
                              const std::string& representative, std::string_view candidates) {
    require_same_length(x, y, "mdlp_full: x e y deben tener la misma longitud");
    const MdlpParams params =
        mdlp_params(minobs, monotonicity, mono_dir, alpha_pos, beta_struct, force_first_split);
    const auto given = optional_value(value);
    const std::span<const double> xs = flat(x);
    const std::span<const double> ys = flat(y);
    MdlpFullResult result;
    {
        // The core reads only the buffers of x and y and the already converted
        // strings, all kept alive by the caller's frame.
        py::gil_scoped_release release;
        const Representative choice = parse_representative(representative);
        const CandidateRule rule = parse_candidate_rule(candidates);
        result = mdlp_full_raw_core(xs, ys, given, percentile, params, choice, rule);
    }
    py::dict d;
    d["mdlp"] = evaluation_dict(result.evaluations);
    d["summary"] = binary_summary_dict(result.rows);
    d["metadata"] = metadata_dict(result);
    return d;
}

}  // namespace tembrolin::bindings
