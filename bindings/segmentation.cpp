#include "glue.hpp"
#include "prep/cut_points.hpp"
#include "prep/preprocess.hpp"

namespace tembrolin::bindings {
namespace {

py::dict cut_point_dict(const CutPointTable& table) {
    py::dict d;
    d["pto_corte"] = column<double>(table, &CutPoint::pto_corte);
    d["c0"] = column<std::int64_t>(table, &CutPoint::c0);
    d["c1"] = column<std::int64_t>(table, &CutPoint::c1);
    return d;
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
            CutPointTable table;
            {
                // The core reads only the buffers of x and y, which we keep alive.
                py::gil_scoped_release release;
                const auto sample = preprocess_data(flat(x), flat(y), given, percentile);
                table = compute_boundaries(sample.x, sample.y);
            }
            return cut_point_dict(table);
        },
        py::arg("x"), py::arg("y"), py::arg("value") = py::none(), py::arg("percentile") = 50.0,
        "Prepara y calcula boundaries en una única llamada nativa");
}

}  // namespace tembrolin::bindings
