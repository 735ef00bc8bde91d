#include "mdlp_report.hpp"

#include <optional>
#include <span>

#include "record_forms.hpp"

namespace tembrolin::bindings {

MdlpParams checked_params(const py::array& x, const py::array& y, const char* lengths,
                          std::int64_t minobs, std::int32_t monotonicity, std::int32_t mono_dir,
                          double alpha_pos, double beta_struct, bool force_first_split) {
    require_same_length(x, y, lengths);
    return {alpha_pos,        beta_struct, minobs, mono_dir, validate_monotonicity(monotonicity),
            force_first_split};
}

py::dict mdlp_full_raw_report(const carray<double>& x, const carray<double>& y, std::int64_t minobs,
                              std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos,
                              double beta_struct, bool force_first_split, const py::object& value,
                              double percentile, const std::string& representative,
                              const std::string& candidates, MdlpWorkspace* workspace) {
    const MdlpParams params =
        checked_params(x, y, "mdlp_full: x e y deben tener la misma longitud", minobs, monotonicity,
                       mono_dir, alpha_pos, beta_struct, force_first_split);
    const std::optional<double> given = optional_value(value);
    const std::span<const double> xs = flat(x);
    const std::span<const double> ys = flat(y);
    MdlpFullResult result;
    {
        // Reads only the spans of x and y and the two strings, already copied, and
        // writes only the workspace, which the caller keeps alive and to this call.
        py::gil_scoped_release release;
        const Representative choice = parse_representative(representative);
        const CandidateRule rule = parse_candidate_rule(candidates);
        result =
            workspace == nullptr
                ? mdlp_full_raw_core(xs, ys, given, percentile, params, choice, rule)
                : mdlp_full_raw_core(xs, ys, given, percentile, params, choice, rule, *workspace);
    }
    py::dict d;
    d["mdlp"] = columns(result.evaluations, evaluation_form);
    d["summary"] = columns(result.rows, binary_summary_form);
    d["metadata"] = scalars(result.counts, counts_form);
    return d;
}

}  // namespace tembrolin::bindings
