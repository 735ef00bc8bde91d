#include "glue.hpp"
#include "record_forms.hpp"

#include <cstdint>
#include <string>

#include "binning/bin_assignment.hpp"
#include "binning/bin_summaries.hpp"
#include "binning/splits.hpp"
#include "sort/sorted_search.hpp"

namespace tembrolin::bindings {
namespace {

// The caller's own split points, checked as given: one-dimensional, finite,
// strictly increasing.
SplitPoints validate_custom_splits(const carray<double>& custom_splits) {
    if (custom_splits.ndim() != 1) {
        throw std::invalid_argument("binning: los puntos de corte deben ser unidimensionales");
    }
    const std::span<const double> values = flat(custom_splits);
    if (!strictly_increasing(values, true)) {
        throw std::invalid_argument(
            "binning: los puntos de corte deben ser finitos, crecientes y únicos");
    }
    return {values.begin(), values.end()};
}

py::array_t<double> binning_splits(const carray<double>& x, const std::string& method,
                                   std::uint64_t n_bins, const std::string& range,
                                   double lower_quantile, double upper_quantile, double k,
                                   const carray<double>& custom_splits) {
    const std::optional<SplitMethod> chosen = split_method_named(method);
    const std::span<const double> values = flat(x);
    SplitPoints splits;
    if (chosen == SplitMethod::custom) splits = validate_custom_splits(custom_splits);
    {
        py::gil_scoped_release release;  // reads only the span of x and the copied strings
        if (!chosen) throw std::invalid_argument("binning: method no reconocido");
        if (chosen == SplitMethod::equal_width) {
            splits = equal_width_splits(values, n_bins, parse_range_mode(range), lower_quantile,
                                        upper_quantile, k);
        } else if (chosen == SplitMethod::quantile) {
            splits = quantile_splits(values, n_bins);
        }
    }
    return to_array(std::move(splits));
}

py::array_t<std::int64_t> binning_transform(const carray<double>& x, const carray<double>& splits) {
    const SplitPoints prepared = prepare_splits(flat(splits));
    const std::span<const double> values = flat(x);
    py::array_t<std::int64_t> out(x.size());
    const std::span<std::int64_t> bins(out.mutable_data(), values.size());
    {
        py::gil_scoped_release release;  // reads the span of x, writes the new array's buffer
        assign_bins(values, prepared, bins);
    }
    return out;
}

// The steps both bin summaries share: lengths, split points with the lock held,
// then the representative and the core routine with it released.
template <class Target, class Row>
std::vector<Row> summarize(const carray<double>& x, const carray<Target>& y,
                           const carray<double>& splits, const std::string& representative,
                           std::vector<Row> (*routine)(std::span<const double>,
                                                       std::span<const Target>,
                                                       std::span<const double>, Representative)) {
    require_same_length(x, y, "binning: x e y deben tener la misma longitud");
    const SplitPoints prepared = prepare_splits(flat(splits));
    const std::span<const double> values = flat(x);
    const std::span<const Target> targets = flat(y);
    py::gil_scoped_release release;  // reads only the spans and the copied string
    return routine(values, targets, prepared, parse_representative(representative));
}

py::dict binning_summary_binary(const carray<double>& x, const carray<std::int32_t>& y,
                                const carray<double>& splits, const std::string& representative) {
    return columns(summarize(x, y, splits, representative, &summarize_bins_binary),
                   binary_summary_form);
}

py::dict binning_summary_continuous(const carray<double>& x, const carray<double>& y,
                                    const carray<double>& splits,
                                    const std::string& representative) {
    return columns(summarize(x, y, splits, representative, &summarize_bins_continuous),
                   continuous_summary_form);
}

}  // namespace

void register_binning(py::module_& m) {
    m.def("binning_splits", &binning_splits, py::arg("x"), py::arg("method"), py::arg("n_bins"),
          py::arg("range"), py::arg("lower_quantile"), py::arg("upper_quantile"), py::arg("k"),
          py::arg("custom_splits"));
    m.def("binning_transform", &binning_transform, py::arg("x"), py::arg("splits"));
    m.def("binning_summary_binary", &binning_summary_binary, py::arg("x"), py::arg("y"),
          py::arg("splits"), py::arg("representative") = "median");
    m.def("binning_summary_continuous", &binning_summary_continuous, py::arg("x"), py::arg("y"),
          py::arg("splits"), py::arg("representative") = "median");
}

}  // namespace tembrolin::bindings
