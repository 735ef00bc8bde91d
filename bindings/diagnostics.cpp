#include "glue.hpp"
#include "record_forms.hpp"

#include <cstdint>
#include <variant>

#include "diagnostics/compare_distributions.hpp"
#include "diagnostics/lorenz_curve.hpp"
#include "diagnostics/membership.hpp"

namespace tembrolin::bindings {

// The 0/1 target of the Lorenz curve, checked on the caller's own values: a
// cast to int32 first would turn 0.7 into 0 and 2**32 + 1 into 1. An int32
// array is read as it is; any other y as float64, which holds 0 and 1 exactly
// and keeps every other value apart from them.
using ClassArray = std::variant<carray<std::int32_t>, carray<double>>;

}  // namespace tembrolin::bindings

// Shown to Python as the int32 array it stands for.
template <>
struct pybind11::detail::type_caster<tembrolin::bindings::ClassArray> {
    using int32_array = tembrolin::bindings::carray<std::int32_t>;
    using double_array = tembrolin::bindings::carray<double>;
    PYBIND11_TYPE_CASTER(tembrolin::bindings::ClassArray, handle_type_name<int32_array>::name);

    bool load(handle src, bool convert) {
        if (int32_array::check_(src)) {
            value = int32_array::ensure(src);
            return true;
        }
        if (!convert && !double_array::check_(src)) return false;
        double_array converted = double_array::ensure(src);
        if (!converted) return false;
        value = std::move(converted);
        return true;
    }
};

namespace tembrolin::bindings {
namespace {

py::dict compare_distributions_native(const carray<double>& reference,
                                      const carray<double>& current, const carray<double>& splits,
                                      double epsilon) {
    const DistributionComparison result =
        compare_distributions(flat(reference), flat(current), flat(splits), epsilon);
    py::dict d = columns(result.rows, distribution_bin_form);
    d["psi"] = result.psi;
    d["ks"] = result.ks;
    return d;
}

template <class Target>
py::dict lorenz_dict(const carray<double>& x, const carray<Target>& y) {
    require_same_length(x, y, "lorenz_curve: x e y deben tener la misma longitud");
    const LorenzCurve curve = lorenz_curve(flat(x), flat(y));
    py::dict d = columns(curve.points, lorenz_point_form);
    d["auc"] = curve.auc;
    d["gini"] = curve.gini;
    return d;
}

py::dict lorenz_curve_native(const carray<double>& x, const ClassArray& y) {
    return std::visit([&](const auto& classes) { return lorenz_dict(x, classes); }, y);
}

// The matrix is written straight into the new array: at a million rows it is
// hundreds of megabytes, too much to build once in the core and copy again.
py::array_t<double> membership_native(const carray<double>& x,
                                      const carray<double>& representatives) {
    const MembershipShape shape = membership_shape(flat(x).size(), flat(representatives));
    // membership_shape bounds the cells by what ptrdiff_t counts in bytes, so
    // both extents and the byte count fit NumPy's sizes.
    py::array_t<double> out(
        {static_cast<py::ssize_t>(shape.rows), static_cast<py::ssize_t>(shape.columns)});
    membership(flat(x), flat(representatives),
               {out.mutable_data(), static_cast<std::size_t>(out.size())});
    return out;
}

py::array_t<double> aggregate_membership_native(const carray<double>& membership,
                                                const carray<double>& values, bool standardize) {
    if (membership.ndim() != 2 || membership.shape(1) != values.size()) {
        throw std::invalid_argument("aggregate_membership: dimensiones incompatibles");
    }
    // Written straight into the new array, like the membership matrix.
    const auto n = static_cast<std::size_t>(membership.shape(0));
    py::array_t<double> out(membership.shape(0));
    aggregate_membership(flat(membership), n, static_cast<std::size_t>(membership.shape(1)),
                         flat(values), standardize, {out.mutable_data(), n});
    return out;
}

}  // namespace

void register_diagnostics(py::module_& m) {
    m.def("compare_distributions_native", &compare_distributions_native, py::arg("reference"),
          py::arg("current"), py::arg("splits"), py::arg("epsilon") = 1e-12);
    m.def("lorenz_curve_native", &lorenz_curve_native, py::arg("x"), py::arg("y"));
    m.def("membership_native", &membership_native, py::arg("x"), py::arg("representatives"));
    m.def("aggregate_membership_native", &aggregate_membership_native, py::arg("membership"),
          py::arg("values"), py::arg("standardize") = false);
}

}  // namespace tembrolin::bindings
