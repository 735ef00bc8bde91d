#include "prep/preprocess.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
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

// The class of a kept target is 0 or 1; anything above 1 stops the walk.
constexpr unsigned stop_walk = 2;

// Sorts each observation into its group, in input order, and the kept ones into
// `keys` by `classify(target)`. Starts afresh; the result says whether the walk
// went to the end.
template <class Classify>
bool split_by_class(std::span<const double> x, std::span<const double> y, SortedClasses& sample,
                    std::vector<double>& missing_x_targets, Classify classify) {
    sample.counts = PreprocessingCounts{};
    sample.counts.n_input = x.size();
    missing_x_targets.clear();
    ClassKeys& keys = sample.keys;
    keys.clear();
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double xi = x[i];
        const double yi = y[i];
        if (std::isfinite(xi) & std::isfinite(yi)) {
            const unsigned c = classify(yi);
            if (c >= stop_walk) return false;
            keys.add(order_key(xi), c);
        } else if (std::isfinite(xi)) {
            if (std::isnan(yi)) {
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

void tally_missing_x(const std::vector<double>& targets, SortedClasses& sample) {
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

SortedClasses sort_by_class(std::span<const double> x, std::span<const double> y,
                            std::optional<double> value, double percentile, ClassKeys storage) {
    storage.reset(x.size());
    SortedClasses sample{std::move(storage), 0, 0, 0, {}};
    std::vector<double> missing_x_targets;

    // Most targets are already 0/1: try that first, with no copy of the targets.
    // -0.0 == 0.0, so a negative zero is class 0.
    const bool binary = split_by_class(x, y, sample, missing_x_targets, [](double t) {
        return static_cast<unsigned>(t == 1.0) +
               stop_walk * static_cast<unsigned>((t != 0.0) & (t != 1.0));
    });
    if (!binary) {
        // Start over: the threshold needs every kept target before any class.
        double threshold = 0.0;
        if (value) {
            threshold = *value;
        } else {
            std::vector<double> targets;
            for (std::size_t i = 0; i < x.size(); ++i) {
                if (std::isfinite(x[i]) && std::isfinite(y[i])) targets.push_back(y[i]);
            }
            threshold = percentile_of(targets, percentile);
        }
        // A y equal to the threshold is class 0.
        split_by_class(x, y, sample, missing_x_targets,
                       [threshold](double t) { return static_cast<unsigned>(t > threshold); });
        sample.counts.target_was_binary = false;
        sample.counts.threshold = threshold;
    }
    tally_missing_x(missing_x_targets, sample);

    sample.keys.sort();
    sample.counts.n_used = sample.keys.class0().size() + sample.keys.class1().size();
    return sample;
}

PreprocessedSample preprocess_data(std::span<const double> x, std::span<const double> y,
                                   std::optional<double> value, double percentile) {
    const SortedClasses sorted = sort_by_class(x, y, value, percentile);
    PreprocessedSample sample{
        {}, {}, sorted.n_missing, sorted.missing_c0, sorted.missing_c1, sorted.counts};
    // Appended rather than resized: resizing would first zero every element.
    sample.x.reserve(sorted.counts.n_used);
    sample.y.reserve(sorted.counts.n_used);
    merge_classes(sorted.keys, [&](std::uint64_t key, bool is_class1) {
        sample.x.push_back(from_order_key(key));
        sample.y.push_back(is_class1 ? 1 : 0);
    });
    return sample;
}

}  // namespace tembrolin
