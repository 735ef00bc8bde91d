#include "glue.hpp"

#include <cmath>
#include <cstdint>
#include <string>

#include "binning/assign_bins.hpp"
#include "binning/equal_width_splits.hpp"
#include "binning/prepare_splits.hpp"
#include "binning/quantile_splits.hpp"
#include "binning/summarize_bins_binary.hpp"
#include "binning/summarize_bins_continuous.hpp"

namespace tembrolin::bindings {
namespace {

// The caller's own split points, checked as given: one-dimensional, finite,
// strictly increasing.
SplitPoints validate_custom_splits(const carray<double>& custom_splits) {
    if (custom_splits.ndim() != 1) {
        throw std::invalid_argument("binning: los puntos de corte deben ser unidimensionales");
    }
    const auto values = flat(custom_splits);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!std::isfinite(values[i]) || (i > 0 && !(values[i] > values[i - 1]))) {
            throw std::invalid_argument(
                "binning: los puntos de corte deben ser finitos, crecientes y únicos");
        }
    }
    return {values.begin(), values.end()};
}

py::dict continuous_summary_dict(const std::vector<ContinuousSummaryRow>& rows) {
    py::dict d;
    d["left"] = column<double>(rows, &ContinuousSummaryRow::left);
    d["right"] = column<double>(rows, &ContinuousSummaryRow::right);
    d["count"] = column<std::int64_t>(rows, &ContinuousSummaryRow::count);
    d["percentage"] = column<double>(rows, &ContinuousSummaryRow::percentage);
    d["representative"] = column<double>(rows, &ContinuousSummaryRow::representative);
    d["target_mean"] = column<double>(rows, &ContinuousSummaryRow::target_mean);
    d["target_p25"] = column<double>(rows, &ContinuousSummaryRow::target_p25);
    d["target_median"] = column<double>(rows, &ContinuousSummaryRow::target_median);
    d["target_p75"] = column<double>(rows, &ContinuousSummaryRow::target_p75);
    return d;
}

// While the lock is released the core reads only spans into the buffers of the
// argument arrays, which this call keeps alive, and the strings already copied
// out of their Python objects.

py::array_t<double> binning_splits(const carray<double>& x, const std::string& method,
                                   std::uint64_t n_bins, const std::string& range,
                                   double lower_quantile, double upper_quantile, double k,
                                   const carray<double>& custom_splits) {
    const std::optional<SplitMethod> chosen = split_method_named(method);
    const std::span<const double> values = flat(x);
    SplitPoints splits;
    if (chosen == SplitMethod::custom) splits = validate_custom_splits(custom_splits);
    {
        py::gil_scoped_release release;
        if (!chosen) throw std::invalid_argument("binning: method no reconocido");
        if (chosen == SplitMethod::equal_width) {
            splits = equal_width_splits(values, n_bins, parse_range_mode(range), lower_quantile,
                                        upper_quantile, k);
        } else if (chosen == SplitMethod::quantile) {
            splits = quantile_splits(values, n_bins);
        }
    }
    return to_array(splits);
}

py::array_t<std::int64_t> binning_transform(const carray<double>& x,
                                            const carray<double>& splits) {
    const SplitPoints prepared = prepare_splits(flat(splits));
    const std::span<const double> values = flat(x);
    py::array_t<std::int64_t> out(x.size());
    const std::span<std::int64_t> bins(out.mutable_data(), values.size());
    {
        py::gil_scoped_release release;
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
    py::gil_scoped_release release;
    return routine(values, targets, prepared, parse_representative(representative));
}

py::dict binning_summary_binary(const carray<double>& x, const carray<std::int32_t>& y,
                                const carray<double>& splits, const std::string& representative) {
    return binary_summary_dict(summarize(x, y, splits, representative, &summarize_bins_binary));
}

py::dict binning_summary_continuous(const carray<double>& x, const carray<double>& y,
                                    const carray<double>& splits,
                                    const std::string& representative) {
    return continuous_summary_dict(
        summarize(x, y, splits, representative, &summarize_bins_continuous));
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
