#include "diagnostics/compare_distributions.hpp"

#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "sort/sorted_search.hpp"

namespace tembrolin {
namespace {

// Adds the sample to the counters; the last counter takes the NaN values.
void count_bins(std::span<const double> sample, std::span<const double> splits,
                std::vector<std::uint64_t>& counts) {
    const BinSlots bin_slot(splits);
    for (const double v : sample) ++counts[bin_slot(v)];
}

constexpr const char* empty_or_bad_epsilon =
    "compare_distributions: muestras vacías o epsilon inválido";

double floored(double proportion, double epsilon) {
    return epsilon > proportion ? epsilon : proportion;
}

}  // namespace

DistributionComparison compare_distributions(std::span<const double> reference,
                                             std::span<const double> current,
                                             std::span<const double> splits, double epsilon) {
    // Written as 0 >= epsilon so that a NaN epsilon passes, as callers rely on.
    if (reference.empty() || current.empty() || 0.0 >= epsilon) {
        throw std::invalid_argument(empty_or_bad_epsilon);
    }
    if (!strictly_increasing(splits, true)) {
        throw std::invalid_argument(
            "compare_distributions: splits deben ser finitos, crecientes y únicos");
    }

    const std::size_t k = splits.size();
    std::vector<std::uint64_t> count_ref(k + 2, 0);
    std::vector<std::uint64_t> count_cur(k + 2, 0);
    count_bins(reference, splits, count_ref);
    count_bins(current, splits, count_cur);
    const bool missing_seen = count_ref[k + 1] != 0 || count_cur[k + 1] != 0;
    const std::size_t rows = missing_seen ? k + 2 : k + 1;
    return compare_counts(std::span(count_ref).first(rows), std::span(count_cur).first(rows),
                          epsilon);
}

DistributionComparison compare_counts(std::span<const std::uint64_t> count_ref,
                                      std::span<const std::uint64_t> count_cur, double epsilon) {
    std::uint64_t total_ref = 0;
    std::uint64_t total_cur = 0;
    for (const std::uint64_t c : count_ref) total_ref += c;
    for (const std::uint64_t c : count_cur) total_cur += c;
    if (count_ref.size() != count_cur.size()) {
        throw std::invalid_argument(
            "compare_distributions: ambas muestras deben tener el mismo número de bins");
    }
    if (total_ref == 0 || total_cur == 0 || 0.0 >= epsilon) {
        throw std::invalid_argument(empty_or_bad_epsilon);
    }
    const auto n_ref = static_cast<double>(total_ref);
    const auto n_cur = static_cast<double>(total_cur);
    DistributionComparison result{{}, 0.0, 0.0};
    result.rows.reserve(count_ref.size());
    double cum_ref = 0.0;
    double cum_cur = 0.0;
    for (std::size_t i = 0; i < count_ref.size(); ++i) {
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
