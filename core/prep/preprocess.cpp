#include "prep/preprocess.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
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

// The sort keys of the kept x, split by class in one buffer: class 0 from the
// front, class 1 from the back. The sort then moves bare keys, and ties between
// the classes resolve in the merge. Equal keys are equal doubles, so the order
// in which a class's keys arrive does not show in the result. The second half
// of the allocation is the sort's scratch, shared by both classes: each fresh
// page costs a fault, and only the pages touched are paid for.
struct ClassKeys {
    std::unique_ptr<std::uint64_t[]> buffer;
    std::size_t size = 0;
    std::size_t n0 = 0;   // class 0 in [0, n0)
    std::size_t top = 0;  // class 1 in [top, size)

    explicit ClassKeys(std::size_t n)
        : buffer(std::make_unique_for_overwrite<std::uint64_t[]>(2 * n)), size(n), top(n) {}
    std::span<std::uint64_t> class0() { return {buffer.get(), n0}; }
    std::span<std::uint64_t> class1() { return {buffer.get() + top, size - top}; }
    std::span<std::uint64_t> scratch() { return {buffer.get() + size, size}; }
};

// Merges the sorted x of each class; on equal x class 0 goes first.
void merge_classes(std::span<const std::uint64_t> keys0, std::span<const std::uint64_t> keys1,
                   PreprocessedSample& sample) {
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

// The class of a kept target is 0 or 1; anything above 1 stops the walk.
constexpr unsigned stop_walk = 2;

// Sorts each observation into its group, in input order, and the kept ones
// into `keys` by `classify(target)`. Starts afresh; the result says whether the
// walk went to the end. Each kept key is written to both ends of the buffer and
// only its class's end advances: no branch on the class, which is random.
template <class Classify>
bool split_by_class(std::span<const double> x, std::span<const double> y,
                    PreprocessedSample& sample, std::vector<double>& missing_x_targets,
                    ClassKeys& keys, Classify classify) {
    sample = PreprocessedSample{};
    sample.n_input = x.size();
    missing_x_targets.clear();
    std::uint64_t* buffer = keys.buffer.get();
    std::size_t front = 0;
    std::size_t back = keys.size;  // kept so far = front + size - back <= i, so front < back
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double xi = x[i];
        const double yi = y[i];
        if (std::isfinite(xi) & std::isfinite(yi)) {
            const unsigned c = classify(yi);
            if (c >= stop_walk) return false;
            const std::uint64_t key = order_key(xi);
            buffer[front] = key;
            buffer[back - 1] = key;
            front += 1 - c;
            back -= c;
        } else if (std::isfinite(xi)) {
            if (std::isnan(yi)) {
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
    keys.n0 = front;
    keys.top = back;
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
    PreprocessedSample sample;
    std::vector<double> missing_x_targets;
    ClassKeys keys(x.size());

    // Most targets are already 0/1: try that first, with no copy of the targets.
    // -0.0 == 0.0, so a negative zero is class 0.
    const bool binary = split_by_class(x, y, sample, missing_x_targets, keys, [](double t) {
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
        split_by_class(x, y, sample, missing_x_targets, keys,
                       [threshold](double t) { return static_cast<unsigned>(t > threshold); });
        sample.target_was_binary = false;
        sample.threshold = threshold;
    }
    tally_missing_x(missing_x_targets, sample);

    radix_sort(keys.class0(), keys.scratch());
    radix_sort(keys.class1(), keys.scratch());
    merge_classes(keys.class0(), keys.class1(), sample);
    sample.n_used = sample.x.size();
    return sample;
}

}  // namespace tembrolin
