#include "glue.hpp"
#include "mdlp_report.hpp"
#include "record_forms.hpp"

#include <string>

#include "mdlp/search.hpp"
#include "mdlp/segment_evaluation.hpp"
#include "mdlp/segment_summary.hpp"
#include "prep/cut_points.hpp"
#include "prep/preprocess.hpp"

// Each binding is named after its Python function; where a core routine has the
// same name, the binding calls it as tembrolin::name.

namespace tembrolin::bindings {
namespace {

CutPointTable table_of(std::span<const double> pto_corte, std::span<const std::int64_t> c0,
                       std::span<const std::int64_t> c1) {
    CutPointTable table(pto_corte.size());
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = {pto_corte[i], c0[i], c1[i]};
    return table;
}

py::dict compute_boundaries(const carray<double>& x, const carray<std::int32_t>& y, bool sorted) {
    require_same_length(x, y, "compute_boundaries: x e y deben tener la misma longitud");
    if (!sorted) {
        throw std::invalid_argument(
            "compute_boundaries: usa sorted=True (los datos deben venir ya limpios y ordenados)");
    }
    return columns(tembrolin::compute_boundaries(flat(x), flat(y)), cut_point_form);
}

py::dict compute_boundaries_raw(const carray<double>& x, const carray<double>& y,
                                const py::object& value, double percentile) {
    require_same_length(x, y, "compute_boundaries: x e y deben tener la misma longitud");
    const std::optional<double> given = optional_value(value);
    const std::span<const double> xs = flat(x);
    const std::span<const double> ys = flat(y);
    CutPointTable table;
    {
        py::gil_scoped_release release;  // reads only the spans of x and y
        const SortedClasses sorted = sort_by_class(xs, ys, given, percentile);
        table = candidate_cut_points(sorted.keys, CandidateRule::neighbour, {});
    }
    return columns(table, cut_point_form);
}

py::dict evaluate_segment(const carray<double>& pto_corte, const carray<std::int64_t>& c0,
                          const carray<std::int64_t>& c1, std::uint64_t L, std::uint64_t R,
                          std::int64_t minobs, std::int32_t monotonicity, std::int32_t mono_dir,
                          double alpha_pos, double beta_struct) {
    const char* lengths = "evaluate_segment: pto_corte, c0 y c1 deben tener la misma longitud";
    require_same_length(pto_corte, c0, lengths);
    require_same_length(pto_corte, c1, lengths);
    const auto size = static_cast<std::uint64_t>(pto_corte.size());
    if (size == 0) throw std::invalid_argument("evaluate_segment: no hay boundaries en B");
    if (!(L < R && R < size)) {
        throw std::invalid_argument("evaluate_segment: L y R deben cumplir L < R < length(B)");
    }
    const MdlpParams params = {
        alpha_pos, beta_struct, minobs, mono_dir, validate_monotonicity(monotonicity), false};
    const CutPointTable table = table_of(flat(pto_corte), flat(c0), flat(c1));
    return scalars(tembrolin::evaluate_segment(table, make_segment(table, L, R), params),
                   evaluation_form);
}

py::dict mdlp_full(const carray<double>& x, const carray<std::int32_t>& y, std::int64_t minobs,
                   std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos,
                   double beta_struct, bool force_first_split) {
    const MdlpParams params =
        checked_params(x, y, "mdlp_with_summary: x e y deben tener la misma longitud", minobs,
                       monotonicity, mono_dir, alpha_pos, beta_struct, force_first_split);
    const MdlpResult result = mdlp_with_summary(flat(x), flat(y), params);
    py::dict d;
    d["mdlp"] = columns(result.evaluations, evaluation_form);
    d["summary"] = columns(result.segments, segment_form);
    return d;
}

py::dict mdlp(const carray<double>& x, const carray<std::int32_t>& y, std::int64_t minobs,
              std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos,
              double beta_struct, bool force_first_split) {
    const MdlpParams params =
        checked_params(x, y, "mdlp: x e y deben tener la misma longitud", minobs, monotonicity,
                       mono_dir, alpha_pos, beta_struct, force_first_split);
    return columns(mdlp_core(flat(x), flat(y), params), evaluation_form);
}

py::dict mdlp_raw(const carray<double>& x, const carray<double>& y, std::int64_t minobs,
                  std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos,
                  double beta_struct, bool force_first_split, const py::object& value,
                  double percentile) {
    const MdlpParams params =
        checked_params(x, y, "mdlp: x e y deben tener la misma longitud", minobs, monotonicity,
                       mono_dir, alpha_pos, beta_struct, force_first_split);
    const std::optional<double> given = optional_value(value);
    const std::span<const double> xs = flat(x);
    const std::span<const double> ys = flat(y);
    std::vector<SegmentEvaluation> evaluations;
    {
        py::gil_scoped_release release;  // reads only the spans of x and y
        evaluations = mdlp_raw_core(xs, ys, given, percentile, params);
    }
    return columns(evaluations, evaluation_form);
}

py::dict mdlp_full_raw(const carray<double>& x, const carray<double>& y, std::int64_t minobs,
                       std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos,
                       double beta_struct, bool force_first_split, const py::object& value,
                       double percentile, const std::string& representative) {
    return mdlp_full_raw_report(x, y, minobs, monotonicity, mono_dir, alpha_pos, beta_struct,
                                force_first_split, value, percentile, representative, "neighbour");
}

}  // namespace

void register_segmentation(py::module_& m) {
    m.def("compute_boundaries", &compute_boundaries, py::arg("x"), py::arg("y"),
          py::arg("sorted") = true,
          "Calcula boundaries; requiere que x,y ya vengan limpios/ordenados (sorted=True)");
    m.def("compute_boundaries_raw", &compute_boundaries_raw, py::arg("x"), py::arg("y"),
          py::arg("value") = py::none(), py::arg("percentile") = 50.0,
          "Prepara y calcula boundaries en una única llamada nativa");
    m.def("evaluate_segment", &evaluate_segment, py::arg("pto_corte"), py::arg("c0"), py::arg("c1"),
          py::arg("L"), py::arg("R"), py::arg("minobs"), py::arg("monotonicity"),
          py::arg("mono_dir"), py::arg("alpha_pos"), py::arg("beta_struct"),
          "Evalúa un segmento concreto (datos ya preprocesados y boundaries ya calculados)");
    m.def("mdlp_full", &mdlp_full, py::arg("x"), py::arg("y"), py::arg("minobs"),
          py::arg("monotonicity"), py::arg("mono_dir"), py::arg("alpha_pos"),
          py::arg("beta_struct"), py::arg("force_first_split"),
          "Algoritmo MDLP completo + resumen de segmentos finales");
    m.def("mdlp", &mdlp, py::arg("x"), py::arg("y"), py::arg("minobs"), py::arg("monotonicity"),
          py::arg("mono_dir"), py::arg("alpha_pos"), py::arg("beta_struct"),
          py::arg("force_first_split"), "Algoritmo MDLP completo (datos ya limpios/ordenados)");
    m.def("mdlp_raw", &mdlp_raw, py::arg("x"), py::arg("y"), py::arg("minobs"),
          py::arg("monotonicity"), py::arg("mono_dir"), py::arg("alpha_pos"),
          py::arg("beta_struct"), py::arg("force_first_split"), py::arg("value") = py::none(),
          py::arg("percentile") = 50.0, "Prepara y ejecuta MDLP en una única llamada nativa");
    m.def("mdlp_full_raw", &mdlp_full_raw, py::arg("x"), py::arg("y"), py::arg("minobs"),
          py::arg("monotonicity"), py::arg("mono_dir"), py::arg("alpha_pos"),
          py::arg("beta_struct"), py::arg("force_first_split"), py::arg("value") = py::none(),
          py::arg("percentile") = 50.0, py::arg("representative") = "median",
          "Prepara, ejecuta MDLP y resume missing en una única llamada nativa");
}

}  // namespace tembrolin::bindings
