#include "glue.hpp"

namespace tembrolin::bindings {

void register_segmentation(py::module_& m);
void register_preprocessing(py::module_& m);
void register_binning(py::module_& m);
void register_diagnostics(py::module_& m);

namespace {

double suma(double a, double b) { return a + b; }

}  // namespace
}  // namespace tembrolin::bindings

PYBIND11_MODULE(_tembrolin, m, py::multiple_interpreters::not_supported()) {
    using namespace tembrolin::bindings;
    m.doc() = "Python c_api bindings for the tembrolin C++ library";
    m.def("suma", &suma, "Suma dos valores");
    register_segmentation(m);
    register_preprocessing(m);
    register_binning(m);
    register_diagnostics(m);
}
