#include "glue.hpp"
#include "mdlp_report.hpp"
#include "mdlp/params.hpp"
#include "mdlp/pipelines.hpp"
#include "mdlp/search.hpp"
#include "mdlp/segment_evaluation.hpp"
#include "mdlp/segment_summary.hpp"
#include "prep/cut_points.hpp"
#include "prep/preprocess.hpp"

#include <string>

namespace tembrolin::bindings {
namespace {

py::dict cut_point_dict(const CutPointTable& table) {
    py::dict d;
    d["pto_corte"] = column<double>(table, &CutPoint::pto_corte);
    d["c0"] = column<std::int64_t>(table, &CutPoint::c0);
    d["c1"] = column<std::int64_t>(table, &CutPoint::c1);
    return d;
}

// One evaluation as Python scalars; `has_candidate` stays inside.
py::dict evaluation_scalars(const SegmentEvaluation& e) {
    py::dict d;
    d["found"] = e.found;
    d["pto"] = e.pto;
    d["gain"] = e.gain;
    d["cost_pos"] = e.cost_pos;
    d["cost_struct"] = e.cost_struct;
    d["cost"] = e.cost;
    d["idx"] = e.idx;
    return d;
}

py::dict segment_dict(const std::vector<SegmentRow>& segments) {
    py::dict d;
    d["left"] = column<double>(segments, &SegmentRow::left);
    d["right"] = column<double>(segments, &SegmentRow::right);
    d["c0"] = column<std::int64_t>(segments, &SegmentRow::c0);
    d["c1"] = column<std::int64_t>(segments, &SegmentRow::c1);
    d["total"] = column<std::int64_t>(segments, &SegmentRow::total);
    d["p1"] = column<double>(segments, &SegmentRow::p1);
    return d;
}

CutPointTable table_of(std::span<const double> pto_corte, std::span<const std::int64_t> c0,
                       std::span<const std::int64_t> c1) {
    CutPointTable table(pto_corte.size());
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = {pto_corte[i], c0[i], c1[i]};
    return table;
}

}  // namespace

void register_segmentation(py::module_& m) {
    m.def(
        "compute_boundaries",
        [](const carray<double>& x, const carray<std::int32_t>& y, bool sorted) {
            require_same_length(x, y, "compute_boundaries: x e y deben tener la misma longitud");
            if (!sorted) {
                throw std::invalid_argument(
                    "compute_boundaries: usa sorted=True (los datos deben venir ya limpios y "
                    "ordenados)");
            }
            return cut_point_dict(compute_boundaries(flat(x), flat(y)));
        },
        py::arg("x"), py::arg("y"), py::arg("sorted") = true,
        "Calcula boundaries; requiere que x,y ya vengan limpios/ordenados (sorted=True)");

    m.def(
        "compute_boundaries_raw",
        [](const carray<double>& x, const carray<double>& y, const py::object& value,
           double percentile) {
            require_same_length(x, y, "compute_boundaries: x e y deben tener la misma longitud");
            const auto given = optional_value(value);
            const std::span<const double> xs = flat(x);
            const std::span<const double> ys = flat(y);
            CutPointTable table;
            {
                // The core reads only the buffers of x and y, which we keep alive.
                py::gil_scoped_release release;
                const auto sample = preprocess_data(xs, ys, given, percentile);
                table = compute_boundaries(sample.x, sample.y);
            }
            return cut_point_dict(table);
        },
        py::arg("x"), py::arg("y"), py::arg("value") = py::none(), py::arg("percentile") = 50.0,
        "Prepara y calcula boundaries en una única llamada nativa");

    m.def(
        "evaluate_segment",
        [](const carray<double>& pto_corte, const carray<std::int64_t>& c0,
           const carray<std::int64_t>& c1, std::uint64_t L, std::uint64_t R, std::int64_t minobs,
           std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos,
           double beta_struct) {
            const char* lengths =
                "evaluate_segment: pto_corte, c0 y c1 deben tener la misma longitud";
            require_same_length(pto_corte, c0, lengths);
            require_same_length(pto_corte, c1, lengths);
            const auto size = static_cast<std::uint64_t>(pto_corte.size());
            if (size == 0) throw std::invalid_argument("evaluate_segment: no hay boundaries en B");
            if (!(L < R && R < size)) {
                throw std::invalid_argument(
                    "evaluate_segment: L y R deben cumplir L < R < length(B)");
            }
            const MdlpParams params =
                mdlp_params(minobs, monotonicity, mono_dir, alpha_pos, beta_struct, false);
            const CutPointTable table = table_of(flat(pto_corte), flat(c0), flat(c1));
            return evaluation_scalars(evaluate_segment(table, make_segment(table, L, R), params));
        },
        py::arg("pto_corte"), py::arg("c0"), py::arg("c1"), py::arg("L"), py::arg("R"),
        py::arg("minobs"), py::arg("monotonicity"), py::arg("mono_dir"), py::arg("alpha_pos"),
        py::arg("beta_struct"),
        "Evalúa un segmento concreto (datos ya preprocesados y boundaries ya calculados)");

    m.def(
        "mdlp_full",
        [](const carray<double>& x, const carray<std::int32_t>& y, std::int64_t minobs,
           std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos, double beta_struct,
           bool force_first_split) {
            require_same_length(x, y, "mdlp_with_summary: x e y deben tener la misma longitud");
            const MdlpParams params = mdlp_params(minobs, monotonicity, mono_dir, alpha_pos,
                                                  beta_struct, force_first_split);
            const MdlpResult result = mdlp_with_summary(flat(x), flat(y), params);
            py::dict d;
            d["mdlp"] = evaluation_dict(result.evaluations);
            d["summary"] = segment_dict(result.segments);
            return d;
        },
        py::arg("x"), py::arg("y"), py::arg("minobs"), py::arg("monotonicity"),
        py::arg("mono_dir"), py::arg("alpha_pos"), py::arg("beta_struct"),
        py::arg("force_first_split"), "Algoritmo MDLP completo + resumen de segmentos finales");

    m.def(
        "mdlp",
        [](const carray<double>& x, const carray<std::int32_t>& y, std::int64_t minobs,
           std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos, double beta_struct,
           bool force_first_split) {
            require_same_length(x, y, "mdlp: x e y deben tener la misma longitud");
            const MdlpParams params = mdlp_params(minobs, monotonicity, mono_dir, alpha_pos,
                                                  beta_struct, force_first_split);
            return evaluation_dict(mdlp_core(flat(x), flat(y), params));
        },
        py::arg("x"), py::arg("y"), py::arg("minobs"), py::arg("monotonicity"),
        py::arg("mono_dir"), py::arg("alpha_pos"), py::arg("beta_struct"),
        py::arg("force_first_split"), "Algoritmo MDLP completo (datos ya limpios/ordenados)");

    m.def(
        "mdlp_raw",
        [](const carray<double>& x, const carray<double>& y, std::int64_t minobs,
           std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos, double beta_struct,
           bool force_first_split, const py::object& value, double percentile) {
            require_same_length(x, y, "mdlp: x e y deben tener la misma longitud");
            const MdlpParams params = mdlp_params(minobs, monotonicity, mono_dir, alpha_pos,
                                                  beta_struct, force_first_split);
            const auto given = optional_value(value);
            const std::span<const double> xs = flat(x);
            const std::span<const double> ys = flat(y);
            std::vector<SegmentEvaluation> evaluations;
            {
                // The core reads only the buffers of x and y, which we keep alive.
                py::gil_scoped_release release;
                evaluations = mdlp_raw_core(xs, ys, given, percentile, params);
            }
            return evaluation_dict(evaluations);
        },
        py::arg("x"), py::arg("y"), py::arg("minobs"), py::arg("monotonicity"),
        py::arg("mono_dir"), py::arg("alpha_pos"), py::arg("beta_struct"),
        py::arg("force_first_split"), py::arg("value") = py::none(), py::arg("percentile") = 50.0,
        "Prepara y ejecuta MDLP en una única llamada nativa");

    m.def(
        "mdlp_full_raw",
        [](const carray<double>& x, const carray<double>& y, std::int64_t minobs,
           std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos, double beta_struct,
           bool force_first_split, const py::object& value, double percentile,
           const std::string& representative) {
            return mdlp_full_raw_report(x, y, minobs, monotonicity, mono_dir, alpha_pos,
                                        beta_struct, force_first_split, value, percentile,
                                        representative, "neighbour");
        },
        py::arg("x"), py::arg("y"), py::arg("minobs"), py::arg("monotonicity"),
        py::arg("mono_dir"), py::arg("alpha_pos"), py::arg("beta_struct"),
        py::arg("force_first_split"), py::arg("value") = py::none(), py::arg("percentile") = 50.0,
        py::arg("representative") = "median",
        "Prepara, ejecuta MDLP y resume missing en una única llamada nativa");
}

}  // namespace tembrolin::bindings
