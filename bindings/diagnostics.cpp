#include "glue.hpp"

namespace tembrolin::bindings {

void register_diagnostics(py::module_& /*m*/) {}

}  // namespace tembrolin::bindings
