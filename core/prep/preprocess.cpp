#include "prep/preprocess.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "sort/order_statistics.hpp"
#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

// The percentile of the kept targets, m >= 1 of them, at position
// (m - 1) * p / 100 in that order.
double percentile_of(const std::vector<double>& targets, double percentile) {
    if (!(percentile >= 0.0 && percentile <= 100.0)) {
        throw std::invalid_argument("preprocess_data: percentile debe estar entre 0 y 100");
    }
    const std::size_t m = targets.size();
    const double pos = (static_cast<double>(m - 1) * percentile) / 100.0;
    return select_value_at(targets, position_at(m, pos));
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
                ++sample.counts.n_missing_y;
            } else {
                ++sample.counts.n_non_finite;
            }
        } else if (std::isnan(xi)) {
            if (std::isfinite(yi)) {
                ++sample.counts.n_missing_x;
                missing_x_targets.push_back(yi);
            } else if (std::isnan(yi)) {
                ++sample.counts.n_missing_both;
            } else {
                ++sample.counts.n_non_finite;
            }
        } else {
            ++sample.counts.n_non_finite;
        }
    }
    return true;
}

void tally_missing_x(const std::vector<double>& targets, PreprocessedSample& sample) {
    for (const double target : targets) {
        if (sample.counts.target_was_binary) {
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
        } else if (target > sample.counts.threshold) {
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
    sample.counts.n_input = n;
    std::vector<double> missing_x_targets;
    // Kept x are stored as sort keys, split by class: the sort then moves bare
    // keys, and ties between the classes resolve in the merge.
    ClassKeys keys;
    keys.class0.reserve(n);
    keys.class1.reserve(n);

    // Most targets are already 0/1: try that first, with no copy of the targets.
    // -0.0 == 0.0, so a negative zero is class 0.
    const bool binary = sort_into_groups(x, y, sample, missing_x_targets, [&](auto key, double t) {
        if (t == 0.0) {
            keys.class0.push_back(key);
        } else if (t == 1.0) {
            keys.class1.push_back(key);
        } else {
            return false;
        }
        return true;
    });
    if (!binary) {
        // Start over: the threshold needs every kept target before any class.
        sample = PreprocessedSample{};
        sample.counts.n_input = n;
        missing_x_targets.clear();
        keys.class0.clear();
        keys.class1.clear();
        std::vector<double> targets;
        targets.reserve(n);
        sort_into_groups(x, y, sample, missing_x_targets, [&](auto key, double t) {
            keys.class0.push_back(key);
            targets.push_back(t);
            return true;
        });
        sample.counts.target_was_binary = false;
        sample.counts.threshold = value ? *value : percentile_of(targets, percentile);
        // Class 0 is compacted in place; a y equal to the threshold is class 0.
        std::size_t n0 = 0;
        for (std::size_t i = 0; i < keys.class0.size(); ++i) {
            if (targets[i] > sample.counts.threshold) {
                keys.class1.push_back(keys.class0[i]);
            } else {
                keys.class0[n0++] = keys.class0[i];
            }
        }
        keys.class0.resize(n0);
    }
    tally_missing_x(missing_x_targets, sample);

    keys.sort();
    const std::size_t kept = keys.class0.size() + keys.class1.size();
    sample.x.resize(kept);
    sample.y.resize(kept);
    double* out_x = sample.x.data();
    std::int32_t* out_y = sample.y.data();
    merge_classes(keys, [&](std::uint64_t key, bool is_class1) {
        *out_x++ = from_order_key(key);
        *out_y++ = is_class1 ? 1 : 0;
    });
    sample.counts.n_used = kept;
    return sample;
}

}  // namespace tembrolin
