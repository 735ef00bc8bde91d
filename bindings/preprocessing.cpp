#include "glue.hpp"

#include "prep/preprocess.hpp"

namespace tembrolin::bindings {
namespace {

py::dict preprocess_data_native(const carray<double>& x, const carray<double>& y,
                                const py::object& value, double percentile) {
    require_same_length(x, y, "preprocess_data: x e y deben tener la misma longitud");
    PreprocessedSample sample =
        preprocess_data(flat(x), flat(y), optional_value(value), percentile);
    py::dict d;
    d["x"] = to_array(std::move(sample.x));
    d["y"] = to_array(std::move(sample.y));
    return d;
}

}  // namespace

void register_preprocessing(py::module_& m) {
    m.def("preprocess_data_native", &preprocess_data_native, py::arg("x"), py::arg("y"),
          py::arg("value") = py::none(), py::arg("percentile") = 50.0,
          "Preprocesado compartido: filtra, binariza y ordena en C++");
}

}  // namespace tembrolin::bindings
