#include "prep/preprocess.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

// Linear interpolation between the order statistics around (m - 1) * p / 100,
// found by selection on a copy so the targets keep their pairing with x.
double percentile_of(const std::vector<double>& targets, double percentile) {
    if (!(percentile >= 0.0 && percentile <= 100.0)) {
        throw std::invalid_argument("preprocess_data: percentile debe estar entre 0 y 100");
    }
    std::vector<double> v = targets;
    const std::size_t m = v.size();
    const double pos = (static_cast<double>(m - 1) * percentile) / 100.0;
    const auto k = static_cast<std::size_t>(pos);  // pos lies in [0, m - 1]
    const double frac = pos - static_cast<double>(k);
    const auto kth = v.begin() + static_cast<std::ptrdiff_t>(k);
    std::nth_element(v.begin(), kth, v.end());
    const double a = *kth;
    if (frac == 0.0 || k + 1 == m) return a;
    // Selection leaves every larger order statistic after position k.
    const double b = *std::min_element(kth + 1, v.end());
    return (b - a) * frac + a;
}

// Merges the sorted x of each class; on equal x class 0 goes first.
void merge_classes(const std::vector<std::uint64_t>& keys0,
                   const std::vector<std::uint64_t>& keys1, PreprocessedSample& sample) {
    const std::size_t n0 = keys0.size();
    const std::size_t n1 = keys1.size();
    sample.x.resize(n0 + n1);
    sample.y.resize(n0 + n1);
    double* out_x = sample.x.data();
    std::int32_t* out_y = sample.y.data();
    std::size_t i = 0, j = 0, o = 0;
    while (i < n0 && j < n1) {
        const double a = from_order_key(keys0[i]);
        const double b = from_order_key(keys1[j]);
        // Compared as doubles, so -0.0 and +0.0 tie and class 0 still leads.
        const bool take0 = a <= b;
        out_x[o] = take0 ? a : b;
        out_y[o] = take0 ? 0 : 1;
        i += take0 ? 1 : 0;
        j += take0 ? 0 : 1;
        ++o;
    }
    for (; i < n0; ++i, ++o) {
        out_x[o] = from_order_key(keys0[i]);
        out_y[o] = 0;
    }
    for (; j < n1; ++j, ++o) {
        out_x[o] = from_order_key(keys1[j]);
        out_y[o] = 1;
    }
}

// Sorts each observation into its group, in input order. Kept pairs go to
// `keep(key, target)`, which may return false to stop the walk; the result
// says whether the walk went to the end.
template <class Keep>
bool sort_into_groups(std::span<const double> x, std::span<const double> y,
                      PreprocessedSample& sample, std::vector<double>& missing_x_targets,
                      Keep keep) {
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double xi = x[i];
        const double yi = y[i];
        if (std::isfinite(xi)) {
            if (std::isfinite(yi)) {
                if (!keep(order_key(xi), yi)) return false;
            } else if (std::isnan(yi)) {
                ++sample.n_missing_y;
            } else {
                ++sample.n_non_finite;
            }
        } else if (std::isnan(xi)) {
            if (std::isfinite(yi)) {
                ++sample.n_missing_x;
                missing_x_targets.push_back(yi);
            } else if (std::isnan(yi)) {
                ++sample.n_missing_both;
            } else {
                ++sample.n_non_finite;
            }
        } else {
            ++sample.n_non_finite;
        }
    }
    return true;
}

void tally_missing_x(const std::vector<double>& targets, PreprocessedSample& sample) {
    for (const double target : targets) {
        if (sample.target_was_binary) {
            // Truncation toward zero, defined for every finite target: only 0
            // and 1 enter the tally, whatever the magnitude of the rest.
            const double truncated = std::trunc(target);
            if (truncated == 0.0) {
                ++sample.missing_c0;
            } else if (truncated == 1.0) {
                ++sample.missing_c1;
            } else {
                continue;
            }
        } else if (target > sample.threshold) {
            ++sample.missing_c1;
        } else {
            ++sample.missing_c0;
        }
        ++sample.n_missing;
    }
}

}  // namespace

PreprocessedSample preprocess_data(std::span<const double> x, std::span<const double> y,
                                   std::optional<double> value, double percentile) {
    const std::size_t n = x.size();
    PreprocessedSample sample;
    sample.n_input = n;
    std::vector<double> missing_x_targets;
    // Kept x are stored as sort keys, split by class: the sort then moves bare
    // keys, and ties between the classes resolve in the merge.
    std::vector<std::uint64_t> keys0;
    std::vector<std::uint64_t> keys1;
    keys0.reserve(n);
    keys1.reserve(n);

    // Most targets are already 0/1: try that first, with no copy of the targets.
    // -0.0 == 0.0, so a negative zero is class 0.
    const bool binary = sort_into_groups(x, y, sample, missing_x_targets, [&](auto key, double t) {
        if (t == 0.0) {
            keys0.push_back(key);
        } else if (t == 1.0) {
            keys1.push_back(key);
        } else {
            return false;
        }
        return true;
    });
    if (!binary) {
        // Start over: the threshold needs every kept target before any class.
        sample = PreprocessedSample{};
        sample.n_input = n;
        missing_x_targets.clear();
        keys0.clear();
        keys1.clear();
        std::vector<double> targets;
        targets.reserve(n);
        sort_into_groups(x, y, sample, missing_x_targets, [&](auto key, double t) {
            keys0.push_back(key);
            targets.push_back(t);
            return true;
        });
        sample.target_was_binary = false;
        sample.threshold = value ? *value : percentile_of(targets, percentile);
        // Class 0 is compacted in place; a y equal to the threshold is class 0.
        std::size_t n0 = 0;
        for (std::size_t i = 0; i < keys0.size(); ++i) {
            if (targets[i] > sample.threshold) {
                keys1.push_back(keys0[i]);
            } else {
                keys0[n0++] = keys0[i];
            }
        }
        keys0.resize(n0);
    }
    tally_missing_x(missing_x_targets, sample);

    radix_sort(keys0);
    radix_sort(keys1);
    merge_classes(keys0, keys1, sample);
    sample.n_used = sample.x.size();
    return sample;
}

}  // namespace tembrolin
