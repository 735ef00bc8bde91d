#include "binning/split_points.hpp"

#include <new>
#include <stdexcept>

namespace tembrolin {

std::optional<SplitMethod> split_method_named(std::string_view name) {
    if (name == "equal_width") return SplitMethod::equal_width;
    if (name == "quantile") return SplitMethod::quantile;
    if (name == "custom") return SplitMethod::custom;
    return std::nullopt;
}

RangeMode parse_range_mode(std::string_view name) {
    if (name == "full") return RangeMode::full;
    if (name == "quantile") return RangeMode::quantile;
    if (name == "iqr") return RangeMode::iqr;
    throw std::invalid_argument("range debe ser 'full', 'quantile' o 'iqr'");
}

SplitPoints reserve_split_points(std::uint64_t n_bins) {
    SplitPoints out;
    // Callers return early for n_bins <= 1, so n_bins - 1 does not wrap.
    if (n_bins - 1 > out.max_size()) throw std::bad_alloc();
    out.reserve(static_cast<std::size_t>(n_bins - 1));
    return out;
}

}  // namespace tembrolin
