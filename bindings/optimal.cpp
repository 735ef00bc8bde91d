#include "glue.hpp"

#include <pybind11/stl.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "optimal/partition_search.hpp"

namespace tembrolin::bindings {
namespace {

PartitionConstraints constraints_from(const std::optional<std::string>& monotonic_trend,
                                      double min_bin_size, double max_bin_size,
                                      std::int64_t min_n_bins, std::int64_t max_n_bins,
                                      double min_rate_diff, double max_pvalue) {
    return {monotonic_trend ? parse_trend(*monotonic_trend) : Trend::none,
            min_bin_size,
            max_bin_size,
            min_n_bins,
            max_n_bins,
            min_rate_diff,
            max_pvalue};
}

py::dict partition_dict(OptimalPartition&& found) {
    py::dict d;
    d["cuts"] = to_array(std::move(found.cuts));
    d["objective"] = found.objective;
    d["feasible"] = found.feasible;
    d["trend"] = found.trend == Trend::none ? py::object(py::none())
                                            : py::object(py::str(trend_name(found.trend)));
    return d;
}

py::dict partition_binary(const carray<double>& c0, const carray<double>& c1,
                          const std::string& objective,
                          const std::optional<std::string>& monotonic_trend, double min_bin_size,
                          double max_bin_size, std::int64_t min_n_bins, std::int64_t max_n_bins,
                          double min_rate_diff, double max_pvalue, double min_bin_events,
                          double min_bin_non_events) {
    const BinaryObjective goal = parse_binary_objective(objective);
    PartitionConstraints constraints =
        constraints_from(monotonic_trend, min_bin_size, max_bin_size, min_n_bins, max_n_bins,
                         min_rate_diff, max_pvalue);
    constraints.min_bin_events = min_bin_events;
    constraints.min_bin_non_events = min_bin_non_events;
    OptimalPartition found;
    {
        // Reads only the spans of c0 and c1, which the call keeps alive, and plain values.
        py::gil_scoped_release release;
        found = optimal_partition_binary(flat(c0), flat(c1), goal, constraints);
    }
    return partition_dict(std::move(found));
}

py::dict partition_continuous(const carray<double>& count, const carray<double>& sum,
                              const carray<double>& sum_sq,
                              const std::optional<std::string>& monotonic_trend,
                              double min_bin_size, double max_bin_size, std::int64_t min_n_bins,
                              std::int64_t max_n_bins, double min_rate_diff, double max_pvalue) {
    const PartitionConstraints constraints =
        constraints_from(monotonic_trend, min_bin_size, max_bin_size, min_n_bins, max_n_bins,
                         min_rate_diff, max_pvalue);
    OptimalPartition found;
    {
        // Reads only the spans of the three arrays, which the call keeps alive, and plain values.
        py::gil_scoped_release release;
        found = optimal_partition_continuous(flat(count), flat(sum), flat(sum_sq), constraints);
    }
    return partition_dict(std::move(found));
}

constexpr const char* constraints_doc =
    " Restricciones, todas opcionales: monotonic_trend ('ascending', 'descending', 'auto': la "
    "mejor de ambas, empate a 'ascending'; 'peak': sube y luego baja; 'valley': baja y luego "
    "sube; no estrictas, tasas vecinas iguales permitidas), peso de cada bin entre "
    "min_bin_size y max_bin_size, número de bins entre min_n_bins y max_n_bins (0: sin "
    "límite), diferencia de tasas vecinas de al menos min_rate_diff y p-valor de la "
    "diferencia entre bins vecinos de a lo sumo max_pvalue. Todo bin debe tener peso "
    "positivo. Empates: menos bins y luego los cortes más a la izquierda, comparados desde el "
    "último. Devuelve {cuts: primer pre-bin de cada bin tras el primero, objective, feasible, "
    "trend: la tendencia que cumple la solución (None si no se pidió o si 'auto' no tiene "
    "solución)}; sin solución, feasible es False, cuts está vacío y objective es NaN.";

}  // namespace

void register_optimal(py::module_& m) {
    const double inf = std::numeric_limits<double>::infinity();
    m.def("optimal_partition_binary", &partition_binary, py::arg("c0"), py::arg("c1"),
          py::arg("objective") = "iv", py::arg("monotonic_trend") = py::none(),
          py::arg("min_bin_size") = 0.0, py::arg("max_bin_size") = inf, py::arg("min_n_bins") = 1,
          py::arg("max_n_bins") = 0, py::arg("min_rate_diff") = 0.0, py::arg("max_pvalue") = 1.0,
          py::arg("min_bin_events") = 0.0, py::arg("min_bin_non_events") = 0.0,
          (std::string("Partición óptima y exacta de pre-bins ordenados en bins contiguos, "
                       "para un objetivo binario: c0 y c1 son los pesos de las clases 0 y 1 "
                       "de cada pre-bin. Maximiza el valor de información total "
                       "(objective='iv', con la corrección de 0.5 del WoE del paquete) o la "
                       "divergencia de Jensen-Shannon ('js'). La tasa de un bin es c1 / (c0 + "
                       "c1); el p-valor, el de la prueba z de dos proporciones con varianza "
                       "combinada; min_bin_events y min_bin_non_events acotan c1 y c0 de cada "
                       "bin.") +
           constraints_doc)
              .c_str());
    m.def("optimal_partition_continuous", &partition_continuous, py::arg("count"), py::arg("sum"),
          py::arg("sum_sq"), py::arg("monotonic_trend") = py::none(), py::arg("min_bin_size") = 0.0,
          py::arg("max_bin_size") = inf, py::arg("min_n_bins") = 1, py::arg("max_n_bins") = 0,
          py::arg("min_rate_diff") = 0.0, py::arg("max_pvalue") = 1.0,
          (std::string("Partición óptima y exacta de pre-bins ordenados en bins contiguos, "
                       "para un objetivo continuo: count, sum y sum_sq son el peso, la suma y "
                       "la suma de cuadrados del objetivo en cada pre-bin. Minimiza el error "
                       "cuadrático dentro de los bins (maximiza la suma de sum_b^2 / n_b); "
                       "objective es ese error. La tasa de un bin es su media; el p-valor, el "
                       "de la prueba z de dos medias con la varianza poblacional de cada bin.") +
           constraints_doc)
              .c_str());
}

}  // namespace tembrolin::bindings
