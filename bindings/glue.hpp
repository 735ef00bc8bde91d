#pragma once

// Included first by every binding source: the array alias and the few helpers
// that turn core records into fresh NumPy arrays and dicts.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "types/binary_summary_row.hpp"

namespace py = pybind11;

namespace tembrolin::bindings {

// Any input NumPy can turn into an array, cast to C-contiguous storage of T.
template <class T>
using carray = py::array_t<T, py::array::c_style | py::array::forcecast>;

// The array read whole, as the flat sequence of its elements in row-major order.
template <class T>
std::span<const T> flat(const carray<T>& array) {
    return {array.data(), static_cast<std::size_t>(array.size())};
}

// Paired arrays must hold the same number of elements, whatever their shapes.
inline void require_same_length(const py::array& a, const py::array& b, const char* message) {
    if (a.size() != b.size()) throw std::invalid_argument(message);
}

// `value`: None means not given; anything else converts as float() would.
inline std::optional<double> optional_value(const py::object& value) {
    if (value.is_none()) return std::nullopt;
    return value.cast<double>();
}

// A new 1-D array of Out holding one field of every row, in row order.
template <class Out, class Row, class Field>
py::array_t<Out> column(const std::vector<Row>& rows, Field Row::*field) {
    py::array_t<Out> out(static_cast<py::ssize_t>(rows.size()));
    Out* data = out.mutable_data();
    for (std::size_t i = 0; i < rows.size(); ++i) data[i] = static_cast<Out>(rows[i].*field);
    return out;
}

// A new 1-D array holding a copy of the values.
template <class T>
py::array_t<T> to_array(const std::vector<T>& values) {
    py::array_t<T> out(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

py::dict binary_summary_dict(const std::vector<BinarySummaryRow>& rows);

}  // namespace tembrolin::bindings
