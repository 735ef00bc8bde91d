// The floor the MDLP road is measured against, for the Python bench only: our
// radix sort of x (keys converted, as every raw entry point sorts them) plus one
// read pass over x and y. No call that sorts and scans the data can go lower.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "sort/radix_sort.hpp"

namespace py = pybind11;

namespace {

using carray = py::array_t<double, py::array::c_style | py::array::forcecast>;

// Returns the smallest key and the sum of the read pass, so that neither is optimised away.
py::tuple sort_and_scan(const carray& x, const carray& y) {
    const auto n = static_cast<std::size_t>(x.size());
    const double* xs = x.data();
    const double* ys = y.data();
    std::uint64_t first = 0;
    double total = 0.0;
    {
        py::gil_scoped_release release;  // reads only the two arrays the call keeps alive
        const auto keys = std::make_unique_for_overwrite<std::uint64_t[]>(n);
        for (std::size_t i = 0; i < n; ++i) keys[i] = tembrolin::order_key(xs[i]);
        tembrolin::radix_sort({keys.get(), n});
        first = n > 0 ? keys[0] : 0;
        for (std::size_t i = 0; i < n; ++i) total += xs[i] + ys[i];
    }
    return py::make_tuple(first, total);
}

}  // namespace

PYBIND11_MODULE(_bench_floor, m) {
    m.def("sort_and_scan", &sort_and_scan, py::arg("x"), py::arg("y"),
          "Radix sort of x's keys plus one read pass over x and y");
}
