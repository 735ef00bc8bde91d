#include <string>

#include "glue.hpp"
#include "mdlp_report.hpp"

// The package's own native module: what the package needs beyond the core's
// seventeen functions, which stay as they are in _tembrolin.

namespace tembrolin::bindings {
namespace {

py::dict mdlp_fit(const carray<double>& x, const carray<double>& y, std::int64_t minobs,
                  std::int32_t monotonicity, std::int32_t mono_dir, double alpha_pos,
                  double beta_struct, bool force_first_split, const py::object& value,
                  double percentile, const std::string& representative,
                  const std::string& candidates) {
    return mdlp_full_raw_report(x, y, minobs, monotonicity, mono_dir, alpha_pos, beta_struct,
                                force_first_split, value, percentile, representative, candidates);
}

}  // namespace
}  // namespace tembrolin::bindings

PYBIND11_MODULE(_native, m, py::multiple_interpreters::not_supported()) {
    using namespace tembrolin::bindings;
    m.doc() = "Funciones nativas del paquete tembrolin";
    m.def("mdlp_fit", &mdlp_fit, py::arg("x"), py::arg("y"), py::arg("minobs"),
          py::arg("monotonicity"), py::arg("mono_dir"), py::arg("alpha_pos"),
          py::arg("beta_struct"), py::arg("force_first_split"), py::arg("value") = py::none(),
          py::arg("percentile") = 50.0, py::arg("representative") = "median",
          py::arg("candidates") = "boundary",
          "Prepara, ejecuta MDLP y resume missing en una única llamada nativa. candidates: "
          "'boundary' ofrece un corte en cada cambio de x entre dos grupos de x iguales que no "
          "son ambos puros en la misma clase (intercambiar las etiquetas 0 y 1 no cambia los "
          "cortes); 'neighbour' da exactamente el resultado de _tembrolin.mdlp_full_raw");
}
