#include "glue.hpp"

// The package's own native module: what the package needs beyond the core's
// seventeen functions, which stay as they are in _tembrolin.
PYBIND11_MODULE(_native, m, py::multiple_interpreters::not_supported()) {
    m.doc() = "Funciones nativas del paquete tembrolin";
}
