#pragma once

// Included first by every binding source: the array alias, the lock policy, and
// the one builder that turns core records into Python dicts of scalars or of
// new NumPy arrays.
//
// The interpreter lock: functions whose core work grows with the data release
// it around that work and only there; the others keep it throughout, their work
// being quick next to the conversion of their inputs. Arguments are converted
// and checked before the release and results built after it; while it is
// released the core reads only spans into argument arrays that the call keeps
// alive and values already copied out of Python objects, and touches no Python
// object. Each release says in one line why it is safe.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace tembrolin::bindings {

// Any input NumPy can turn into an array, cast to C-contiguous storage of T that
// is aligned for T (NumPy copies a buffer that is not): the core reads it as
// plain T.
template <class T>
using carray = py::array_t<T, py::array::c_style | py::array::forcecast |
                                  py::detail::npy_api::NPY_ARRAY_ALIGNED_>;

// The array read whole, as the flat sequence of its elements in row-major order.
template <class T>
std::span<const T> flat(const carray<T>& array) {
    return {array.data(), static_cast<std::size_t>(array.size())};
}

// Paired arrays must hold the same number of elements, whatever their shapes.
inline void require_same_length(const py::array& a, const py::array& b, const char* message) {
    if (a.size() != b.size()) throw std::invalid_argument(message);
}

// `value`: None means not given; anything else converts as float() would, and
// what does not convert is the caller's type error, as for every other argument.
inline std::optional<double> optional_value(const py::object& value) {
    if (value.is_none()) return std::nullopt;
    try {
        return value.cast<double>();
    } catch (const py::cast_error&) {
        throw py::type_error("value debe ser None o un número real");
    }
}

// A new 1-D array that takes over the values' storage: no copy, and no fresh
// pages to fault in, which at millions of elements costs more than the copy.
// The array frees the storage when NumPy frees the array.
template <class T>
py::array_t<T> to_array(std::vector<T>&& values) {
    auto owned = std::make_unique<std::vector<T>>(std::move(values));
    const py::capsule owner(owned.get(), [](void* p) { delete static_cast<std::vector<T>*>(p); });
    const std::vector<T>& held = *owned.release();  // the capsule frees it from here on
    return py::array_t<T>(static_cast<py::ssize_t>(held.size()), held.data(), owner);
}

// One entry of a record's Python form: its key, the record's field, and the
// type it takes in Python (the field's own unless named).
template <class Record, class Field, class Out>
struct Key {
    const char* name;
    Field Record::* field;
};

template <class Out = void, class Record, class Field>
constexpr auto key(const char* name, Field Record::* field) {
    return Key<Record, Field, std::conditional_t<std::is_void_v<Out>, Field, Out>>{name, field};
}

// A dict with one new 1-D array per key, in the form's order; element i of each
// comes from rows[i].
template <class Row, class... Fields, class... Outs>
py::dict columns(const std::vector<Row>& rows, const std::tuple<Key<Row, Fields, Outs>...>& form) {
    py::dict d;
    const auto add = [&]<class Field, class Out>(const Key<Row, Field, Out>& k) {
        py::array_t<Out> column(static_cast<py::ssize_t>(rows.size()));
        Out* data = column.mutable_data();
        for (std::size_t i = 0; i < rows.size(); ++i) data[i] = static_cast<Out>(rows[i].*k.field);
        d[k.name] = std::move(column);
    };
    std::apply([&](const auto&... k) { (add(k), ...); }, form);
    return d;
}

// A dict with one Python scalar per key, in the form's order.
template <class Record, class... Fields, class... Outs>
py::dict scalars(const Record& record, const std::tuple<Key<Record, Fields, Outs>...>& form) {
    py::dict d;
    const auto add = [&]<class Field, class Out>(const Key<Record, Field, Out>& k) {
        d[k.name] = static_cast<Out>(record.*k.field);
    };
    std::apply([&](const auto&... k) { (add(k), ...); }, form);
    return d;
}

}  // namespace tembrolin::bindings
