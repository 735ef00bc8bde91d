#include "glue.hpp"

namespace tembrolin::bindings {

void register_binning(py::module_& /*m*/) {}

}  // namespace tembrolin::bindings
