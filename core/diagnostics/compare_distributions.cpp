#include "diagnostics/compare_distributions.hpp"

#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "sort/sorted_search.hpp"

namespace tembrolin {
namespace {

// Adds the sample to the counters; the last counter takes the NaN values.
void count_bins(std::span<const double> sample, std::span<const double> splits,
                std::vector<std::size_t>& counts) {
    for (const double v : sample) ++counts[bin_slot(v, splits)];
}

double floored(double proportion, double epsilon) {
    return epsilon > proportion ? epsilon : proportion;
}

}  // namespace

DistributionComparison compare_distributions(std::span<const double> reference,
                                             std::span<const double> current,
                                             std::span<const double> splits, double epsilon) {
    // Written as 0 >= epsilon so that a NaN epsilon passes, as callers rely on.
    if (reference.empty() || current.empty() || 0.0 >= epsilon) {
        throw std::invalid_argument("compare_distributions: muestras vacías o epsilon inválido");
    }
    if (!strictly_increasing(splits, true)) {
        throw std::invalid_argument(
            "compare_distributions: splits deben ser finitos, crecientes y únicos");
    }

    const std::size_t k = splits.size();
    std::vector<std::size_t> count_ref(k + 2, 0);
    std::vector<std::size_t> count_cur(k + 2, 0);
    count_bins(reference, splits, count_ref);
    count_bins(current, splits, count_cur);
    const bool missing_seen = count_ref[k + 1] != 0 || count_cur[k + 1] != 0;
    const std::size_t rows = missing_seen ? k + 2 : k + 1;

    const auto n_ref = static_cast<double>(reference.size());
    const auto n_cur = static_cast<double>(current.size());
    DistributionComparison result{{}, 0.0, 0.0};
    result.rows.reserve(rows);
    double cum_ref = 0.0;
    double cum_cur = 0.0;
    for (std::size_t i = 0; i < rows; ++i) {
        const double p_ref = static_cast<double>(count_ref[i]) / n_ref;
        const double p_cur = static_cast<double>(count_cur[i]) / n_cur;
        // Running sums, not recomputed: the last one is 1 only up to rounding.
        cum_ref += p_ref;
        cum_cur += p_cur;
        // The floor keeps the logarithm finite; the difference keeps the true shares.
        const double psi_bin =
            std::log(floored(p_ref, epsilon) / floored(p_cur, epsilon)) * (p_ref - p_cur);
        result.psi += psi_bin;
        const double gap = std::fabs(cum_ref - cum_cur);
        if (gap > result.ks) result.ks = gap;
        result.rows.push_back({static_cast<std::int64_t>(count_ref[i]),
                               static_cast<std::int64_t>(count_cur[i]), p_ref, p_cur, cum_ref,
                               cum_cur, psi_bin});
    }
    return result;
}

}  // namespace tembrolin
