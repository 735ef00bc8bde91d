#include "glue.hpp"

#include "diagnostics/aggregate_membership.hpp"
#include "diagnostics/compare_distributions.hpp"
#include "diagnostics/lorenz_curve.hpp"
#include "diagnostics/membership.hpp"

namespace tembrolin::bindings {
namespace {

// These calls are quick next to the conversion of their inputs, so they keep the
// interpreter lock throughout.

py::dict compare_distributions_native(const carray<double>& reference,
                                      const carray<double>& current,
                                      const carray<double>& splits, double epsilon) {
    const auto result =
        compare_distributions(flat(reference), flat(current), flat(splits), epsilon);
    py::dict d;
    d["count_reference"] = column<std::int64_t>(result.rows, &DistributionBin::count_reference);
    d["count_current"] = column<std::int64_t>(result.rows, &DistributionBin::count_current);
    d["proportion_reference"] = column<double>(result.rows, &DistributionBin::proportion_reference);
    d["proportion_current"] = column<double>(result.rows, &DistributionBin::proportion_current);
    d["cumulative_reference"] = column<double>(result.rows, &DistributionBin::cumulative_reference);
    d["cumulative_current"] = column<double>(result.rows, &DistributionBin::cumulative_current);
    d["psi_bin"] = column<double>(result.rows, &DistributionBin::psi_bin);
    d["psi"] = result.psi;
    d["ks"] = result.ks;
    return d;
}

py::dict lorenz_curve_native(const carray<double>& x, const carray<std::int32_t>& y) {
    require_same_length(x, y, "lorenz_curve: x e y deben tener la misma longitud");
    const auto curve = lorenz_curve(flat(x), flat(y));
    py::dict d;
    d["value"] = column<double>(curve.points, &LorenzPoint::value);
    d["cumulative_non_event"] = column<double>(curve.points, &LorenzPoint::cumulative_non_event);
    d["cumulative_event"] = column<double>(curve.points, &LorenzPoint::cumulative_event);
    d["auc"] = curve.auc;
    d["gini"] = curve.gini;
    return d;
}

// The matrix is written straight into the new array: at a million rows it is
// hundreds of megabytes, too much to build once in the core and copy again.
py::array_t<double> membership_native(const carray<double>& x,
                                      const carray<double>& representatives) {
    const auto shape = membership_shape(flat(x).size(), flat(representatives));
    // membership_shape bounds the cells by what ptrdiff_t counts in bytes, so
    // both extents and the byte count fit NumPy's sizes.
    py::array_t<double> out({static_cast<py::ssize_t>(shape.rows),
                             static_cast<py::ssize_t>(shape.columns)});
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
