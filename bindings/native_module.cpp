#include <pybind11/stl.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binning/bin_summaries.hpp"
#include "binning/counted_summaries.hpp"
#include "binning/splits.hpp"
#include "diagnostics/compare_distributions.hpp"
#include "diagnostics/lorenz_curve.hpp"
#include "glue.hpp"
#include "mdlp/segment_summary.hpp"
#include "mdlp_report.hpp"
#include "prep/value_counts.hpp"
#include "record_forms.hpp"
#include "sort/order_statistics.hpp"
#include "sort/radix_sort.hpp"
#include "sort/sorted_search.hpp"

// The package's own native module: what the package needs beyond the core's
// seventeen functions, which stay as they are in _tembrolin. The functions on
// counts serve fits whose data are counted in parts, as on a cluster.

namespace tembrolin::bindings {

void register_optimal(py::module_& m);

namespace {

// The buffers one mdlp_fit call after another reuses. The call releases the
// interpreter lock, so two threads could reach one workspace at once: a call finding
// it in use is refused instead of sharing it.
struct Workspace {
    MdlpWorkspace held;
    std::atomic<bool> busy = false;
};

py::dict mdlp_fit(const carray<double>& x, const carray<double>& y, std::int64_t minobs,
                  std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos,
                  double beta_struct, bool force_first_split, const py::object& value,
                  double percentile, const std::string& representative,
                  const std::string& candidates, Workspace* workspace) {
    if (workspace == nullptr) {
        return mdlp_full_raw_report(x, y, minobs, monotonicity, mono_dir, alpha_pos, beta_struct,
                                    force_first_split, value, percentile, representative,
                                    candidates);
    }
    if (workspace->busy.exchange(true)) {
        throw std::invalid_argument("mdlp_fit: workspace está en uso por otra llamada");
    }
    const struct Free {
        std::atomic<bool>& busy;
        ~Free() { busy = false; }
    } free_at_end{workspace->busy};
    return mdlp_full_raw_report(x, y, minobs, monotonicity, mono_dir, alpha_pos, beta_struct,
                                force_first_split, value, percentile, representative, candidates,
                                &workspace->held);
}

// Counts as value_counts returns them, read in place: the arrays stay alive with
// the view of them, which is checked.
struct HeldCounts {
    carray<double> values;
    carray<std::int64_t> c0;
    carray<std::int64_t> c1;
    CountsView view;
};

HeldCounts counts_from(const py::dict& d) {
    HeldCounts held{d["values"].cast<carray<double>>(),
                    d["c0"].cast<carray<std::int64_t>>(),
                    d["c1"].cast<carray<std::int64_t>>(),
                    {}};
    held.view = {flat(held.values), flat(held.c0), flat(held.c1),
                 d["missing_c0"].cast<std::int64_t>(), d["missing_c1"].cast<std::int64_t>()};
    check_value_counts(held.view);
    return held;
}

py::dict counts_dict(ValueCounts&& counts) {
    py::dict d;
    d["values"] = to_array(std::move(counts.values));
    d["c0"] = to_array(std::move(counts.c0));
    d["c1"] = to_array(std::move(counts.c1));
    d["missing_c0"] = counts.missing_c0;
    d["missing_c1"] = counts.missing_c1;
    return d;
}

py::dict value_counts(const carray<double>& x, const carray<std::int32_t>& y) {
    require_same_length(x, y, "value_counts: x e y deben tener la misma longitud");
    ValueCounts counts;
    {
        // Reads only the spans of x and y.
        py::gil_scoped_release release;
        counts = count_values(flat(x), flat(y));
    }
    return counts_dict(std::move(counts));
}

py::dict merge_counts(const py::dict& a, const py::dict& b) {
    const HeldCounts first = counts_from(a);
    const HeldCounts second = counts_from(b);
    ValueCounts merged;
    {
        // Reads only the spans of the counts' arrays, which the two holders keep alive.
        py::gil_scoped_release release;
        merged = merge_value_counts(first.view, second.view);
    }
    return counts_dict(std::move(merged));
}

py::dict mdlp_fit_counts(const py::dict& counts, std::int64_t minobs, std::int32_t monotonicity,
                         std::int32_t mono_dir, double alpha_pos, double beta_struct,
                         bool force_first_split, const std::string& representative,
                         const std::string& candidates) {
    const MdlpParams params{
        alpha_pos,        beta_struct, minobs, mono_dir, validate_monotonicity(monotonicity),
        force_first_split};
    const HeldCounts sample = counts_from(counts);
    MdlpFullResult result;
    {
        // Reads only the spans of the counts' arrays, kept alive above, and the two strings.
        py::gil_scoped_release release;
        const Representative choice = parse_representative(representative);
        const CandidateRule rule = parse_candidate_rule(candidates);
        result = mdlp_full_from_counts(sample.view, params, choice, rule);
    }
    py::dict d;
    d["mdlp"] = columns(result.evaluations, evaluation_form);
    d["summary"] = columns(result.rows, binary_summary_form);
    d["metadata"] = scalars(result.counts, counts_form);
    return d;
}

py::dict lorenz_counts(const carray<double>& values, const carray<std::int64_t>& c0,
                       const carray<std::int64_t>& c1) {
    require_same_length(values, c0, "lorenz_curve: values, c0 y c1 deben tener la misma longitud");
    require_same_length(values, c1, "lorenz_curve: values, c0 y c1 deben tener la misma longitud");
    const LorenzCurve curve = lorenz_from_counts(flat(values), flat(c0), flat(c1));
    py::dict d = columns(curve.points, lorenz_point_form);
    d["auc"] = curve.auc;
    d["gini"] = curve.gini;
    return d;
}

std::vector<std::uint64_t> non_negative(const carray<std::int64_t>& counts, const char* message) {
    std::vector<std::uint64_t> out;
    for (const std::int64_t c : flat(counts)) {
        if (c < 0) throw std::invalid_argument(message);
        out.push_back(static_cast<std::uint64_t>(c));
    }
    return out;
}

std::vector<std::uint64_t> bin_counts(const carray<std::int64_t>& counts) {
    return non_negative(counts, "compare_distributions: los conteos no pueden ser negativos");
}

// Ascending values (by sort key, no NaN) with their counts, which must add up
// below 2**63.
std::vector<std::uint64_t> sequence_counts(const carray<double>& values,
                                           const carray<std::int64_t>& counts) {
    require_same_length(values, counts, "counts: values y counts deben tener la misma longitud");
    const std::span<const double> v = flat(values);
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (std::isnan(v[i]) || (i > 0 && !(order_key(v[i - 1]) < order_key(v[i])))) {
            throw std::invalid_argument("counts: values deben ser distintos, sin NaN y crecientes");
        }
    }
    std::vector<std::uint64_t> out =
        non_negative(counts, "counts: los conteos no pueden ser negativos");
    std::uint64_t total = 0;
    for (const std::uint64_t c : out) {
        if (__builtin_add_overflow(total, c, &total) || total >> 63 != 0) {
            throw std::invalid_argument("counts: los conteos suman más de lo que cabe en int64");
        }
    }
    return out;
}

py::array_t<double> counted_order_statistics(const carray<double>& values,
                                             const carray<std::int64_t>& counts,
                                             const carray<double>& positions) {
    const CountedSequence sequence(flat(values), sequence_counts(values, counts));
    std::vector<double> out;
    for (const double h : flat(positions)) {
        if (!(h >= 0.0 && h <= static_cast<double>(sequence.size()) - 1.0)) {
            throw std::invalid_argument("counts: cada posición debe estar entre 0 y n - 1");
        }
        out.push_back(value_at(sequence, position_at(sequence.size(), h)));
    }
    return to_array(std::move(out));
}

py::array_t<double> counted_binning_splits(const carray<double>& values,
                                           const carray<std::int64_t>& counts,
                                           const std::string& method, std::uint64_t n_bins,
                                           const std::string& range, double lower_quantile,
                                           double upper_quantile, double k) {
    const std::vector<std::uint64_t> repeats = sequence_counts(values, counts);
    const std::optional<SplitMethod> chosen = split_method_named(method);
    if (!chosen || *chosen == SplitMethod::custom) {
        throw std::invalid_argument("binning: method no reconocido");
    }
    const RangeMode mode =
        *chosen == SplitMethod::equal_width ? parse_range_mode(range) : RangeMode::full;
    return to_array(counted_splits(*chosen, flat(values), repeats, n_bins, mode, lower_quantile,
                                   upper_quantile, k));
}

py::dict counted_summary(const py::dict& counts, const carray<double>& splits,
                         const std::string& representative) {
    const HeldCounts sample = counts_from(counts);
    const std::span<const double> bounds = flat(splits);
    if (!strictly_increasing(bounds, true)) {
        throw std::invalid_argument("counted_summary: splits deben ser finitos y crecientes");
    }
    const Representative choice = parse_representative(representative);
    return columns(summarize_counted_bins(sample.view, bounds, choice), binary_summary_form);
}

py::dict counted_target_summary(const carray<double>& values, const carray<std::int64_t>& counts) {
    const TargetSummary summary =
        summarize_counted_target(flat(values), sequence_counts(values, counts));
    py::dict d;
    d["target_mean"] = summary.mean;
    d["target_p25"] = summary.p25;
    d["target_median"] = summary.median;
    d["target_p75"] = summary.p75;
    return d;
}

// A representative by name, or none (the rows' are then NaN, at no cost).
std::optional<Representative> representative_named(const std::optional<std::string>& name) {
    return name ? std::optional(parse_representative(*name)) : std::nullopt;
}

// binning_summary_binary's rows, with the slot of every observation for
// regrouped_summary: one byte each when the slots fit in one.
py::dict binned_summary(const carray<double>& x, const carray<std::int32_t>& y,
                        const carray<double>& splits,
                        const std::optional<std::string>& representative) {
    require_same_length(x, y, "binning: x e y deben tener la misma longitud");
    const SplitPoints prepared = prepare_splits(flat(splits));
    const std::optional<Representative> choice = representative_named(representative);
    const auto summarize = [&]<class Slot>(Slot) {
        py::array_t<Slot> slots(x.size());
        const std::span<Slot> out(slots.mutable_data(), static_cast<std::size_t>(x.size()));
        std::vector<BinarySummaryRow> rows;
        {
            py::gil_scoped_release release;  // reads the spans, writes the new slots
            rows = slot_bins_binary(flat(x), flat(y), prepared, choice, out);
        }
        py::dict d = columns(rows, binary_summary_form);
        d["slots"] = std::move(slots);
        return d;
    };
    // Slot k + 1 is the missing values'.
    return prepared.size() + 1 <= std::numeric_limits<std::uint8_t>::max()
               ? summarize(std::uint8_t{})
               : summarize(std::uint32_t{});
}

py::dict regrouped_summary(const carray<double>& x, const py::object& slots,
                           const carray<std::int64_t>& fine_c1, const carray<double>& fine_splits,
                           const carray<double>& coarse_splits,
                           const std::optional<std::string>& representative) {
    const SplitPoints fine = prepare_splits(flat(fine_splits));
    const SplitPoints coarse = prepare_splits(flat(coarse_splits));
    const std::optional<Representative> choice = representative_named(representative);
    const auto regroup = [&]<class Slot>(const carray<Slot>& held) {
        require_same_length(x, held, "regroup_bins: x y slots deben tener la misma longitud");
        std::vector<BinarySummaryRow> rows;
        {
            py::gil_scoped_release release;  // reads only the spans and the prepared splits
            rows = regroup_bins_binary(flat(x), flat(held), flat(fine_c1), fine, coarse, choice);
        }
        return columns(rows, binary_summary_form);
    };
    if (py::isinstance<py::array_t<std::uint8_t>>(slots)) {
        return regroup(slots.cast<carray<std::uint8_t>>());
    }
    return regroup(slots.cast<carray<std::uint32_t>>());
}

py::dict compare_bin_counts(const carray<std::int64_t>& reference,
                            const carray<std::int64_t>& current, double epsilon) {
    const DistributionComparison result =
        compare_counts(bin_counts(reference), bin_counts(current), epsilon);
    py::dict d = columns(result.rows, distribution_bin_form);
    d["psi"] = result.psi;
    d["ks"] = result.ks;
    return d;
}

}  // namespace
}  // namespace tembrolin::bindings

PYBIND11_MODULE(_native, m, py::multiple_interpreters::not_supported()) {
    using namespace tembrolin::bindings;
    m.doc() = "Funciones nativas del paquete tembrolin";
    // The plain metaclass: the stub can name it, and the class has no static properties.
    py::class_<Workspace>(m, "Workspace", py::metaclass(reinterpret_cast<PyObject*>(&PyType_Type)),
                          "Memoria que mdlp_fit reutiliza de una llamada a la siguiente (una "
                          "columna tras otra); una sola llamada a la vez puede usarla")
        .def(py::init<>());
    m.def("mdlp_fit", &mdlp_fit, py::arg("x"), py::arg("y"), py::arg("minobs"),
          py::arg("monotonicity"), py::arg("mono_dir"), py::arg("alpha_pos"),
          py::arg("beta_struct"), py::arg("force_first_split"), py::arg("value") = py::none(),
          py::arg("percentile") = 50.0, py::arg("representative") = "median",
          py::arg("candidates") = "boundary", py::arg("workspace") = nullptr,
          "Prepara, ejecuta MDLP y resume missing en una única llamada nativa. candidates: "
          "'boundary' ofrece un corte en cada cambio de x entre dos grupos de x iguales que no "
          "son ambos puros en la misma clase (intercambiar las etiquetas 0 y 1 no cambia los "
          "cortes); 'neighbour' da exactamente el resultado de _tembrolin.mdlp_full_raw. "
          "workspace: un Workspace cuya memoria reutiliza, con el mismo resultado");
    m.def("value_counts", &value_counts, py::arg("x"), py::arg("y"),
          "Conteos de las clases 0 y 1 en cada valor distinto de x (por sus bits, en orden "
          "creciente) y de las x ausentes: {values, c0, c1, missing_c0, missing_c1}");
    m.def("merge_counts", &merge_counts, py::arg("a"), py::arg("b"),
          "Suma dos conteos de value_counts: los de ambas muestras juntas");
    m.def("mdlp_fit_counts", &mdlp_fit_counts, py::arg("counts"), py::arg("minobs"),
          py::arg("monotonicity"), py::arg("mono_dir"), py::arg("alpha_pos"),
          py::arg("beta_struct"), py::arg("force_first_split"),
          py::arg("representative") = "median", py::arg("candidates") = "boundary",
          "mdlp_fit sobre la muestra que describen los conteos de value_counts (y de 0/1): el "
          "mismo resultado, bit a bit");
    m.def("counted_order_statistics", &counted_order_statistics, py::arg("values"),
          py::arg("counts"), py::arg("positions"),
          "Valor en cada posición h (0 <= h <= n - 1, interpolando entre los dos estadísticos de "
          "orden vecinos) de la muestra ordenada que describen values repetidos counts veces");
    m.def("counted_binning_splits", &counted_binning_splits, py::arg("values"), py::arg("counts"),
          py::arg("method"), py::arg("n_bins"), py::arg("range"), py::arg("lower_quantile"),
          py::arg("upper_quantile"), py::arg("k"),
          "binning_splits ('equal_width' o 'quantile') de la muestra que describen values "
          "repetidos counts veces: los mismos cortes, bit a bit");
    m.def("counted_summary", &counted_summary, py::arg("counts"), py::arg("splits"),
          py::arg("representative") = "median",
          "binning_summary_binary de la muestra que describen los conteos de value_counts: las "
          "mismas filas, bit a bit, salvo la media de x (suma por valor distinto)");
    m.def("binned_summary", &binned_summary, py::arg("x"), py::arg("y"), py::arg("splits"),
          py::arg("representative") = "median",
          "_tembrolin.binning_summary_binary, las mismas filas bit a bit (con representative "
          "None, representante NaN), y en 'slots' el bin de cada observación (0..k, k + 1 si x "
          "es NaN; uint8 si caben, si no uint32) para regrouped_summary");
    m.def("regrouped_summary", &regrouped_summary, py::arg("x"), py::arg("slots"),
          py::arg("fine_c1"), py::arg("fine_splits"), py::arg("coarse_splits"),
          py::arg("representative") = "median",
          "Las filas de binning_summary_binary sobre coarse_splits (algunos de fine_splits), bit "
          "a bit, a partir de los slots y de la columna c1 que binned_summary dio sobre "
          "fine_splits para este x, sin leer y");
    m.def("counted_target_summary", &counted_target_summary, py::arg("values"), py::arg("counts"),
          "Media y cuartiles de un objetivo continuo descrito por sus valores distintos "
          "(crecientes) y sus conteos: los de binning_summary_continuous, bit a bit");
    m.def("lorenz_counts", &lorenz_counts, py::arg("values"), py::arg("c0"), py::arg("c1"),
          "Curva de Lorenz, AUC y Gini a partir de los conteos de cada clase por valor");
    m.def("compare_counts", &compare_bin_counts, py::arg("reference"), py::arg("current"),
          py::arg("epsilon") = 1e-12,
          "PSI y KS a partir de los conteos por bin de ambas muestras (el bin de ausentes al "
          "final, si lo hay)");
    register_optimal(m);
}
