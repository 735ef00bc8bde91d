#include "prep/value_counts.hpp"

#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

// Counts a caller may pass can sum past int64; that is refused, not wrapped.
std::int64_t checked_sum(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        throw std::invalid_argument("value_counts: los conteos suman más de lo que cabe en int64");
    }
    return sum;
}

// Appends one value with its counts, or adds them to the last value when the key repeats.
void add_counted(ValueCounts& out, std::uint64_t key, std::int64_t c0, std::int64_t c1) {
    if (!out.values.empty() && order_key(out.values.back()) == key) {
        out.c0.back() = checked_sum(out.c0.back(), c0);
        out.c1.back() = checked_sum(out.c1.back(), c1);
        return;
    }
    out.values.push_back(from_order_key(key));
    out.c0.push_back(c0);
    out.c1.push_back(c1);
}

}  // namespace

ValueCounts count_values(std::span<const double> x, std::span<const std::int32_t> y) {
    ValueCounts out;
    ClassKeys keys(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (y[i] != 0 && y[i] != 1) {
            throw std::invalid_argument("value_counts: y debe contener solo 0 y 1");
        }
        if (std::isnan(x[i])) {
            out.missing_c0 += 1 - y[i];
            out.missing_c1 += y[i];
        } else {
            keys.add(order_key(x[i]), static_cast<unsigned>(y[i]));
        }
    }
    keys.sort();
    // Both classes in key order, merged by key: equal keys meet in one entry.
    const std::span<const std::uint64_t> a = keys.class0();
    const std::span<const std::uint64_t> b = keys.class1();
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() || j < b.size()) {
        if (j == b.size() || (i < a.size() && a[i] <= b[j])) {
            add_counted(out, a[i++], 1, 0);
        } else {
            add_counted(out, b[j++], 0, 1);
        }
    }
    return out;
}

ValueCounts merge_value_counts(const CountsView& a, const CountsView& b) {
    ValueCounts out;
    out.values.reserve(a.values.size() + b.values.size());
    out.c0.reserve(out.values.capacity());
    out.c1.reserve(out.values.capacity());
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.values.size() || j < b.values.size()) {
        if (j == b.values.size() ||
            (i < a.values.size() && order_key(a.values[i]) <= order_key(b.values[j]))) {
            add_counted(out, order_key(a.values[i]), a.c0[i], a.c1[i]);
            ++i;
        } else {
            add_counted(out, order_key(b.values[j]), b.c0[j], b.c1[j]);
            ++j;
        }
    }
    out.missing_c0 = checked_sum(a.missing_c0, b.missing_c0);
    out.missing_c1 = checked_sum(a.missing_c1, b.missing_c1);
    return out;
}

void check_value_counts(const CountsView& counts) {
    const std::size_t n = counts.values.size();
    if (counts.c0.size() != n || counts.c1.size() != n) {
        throw std::invalid_argument("value_counts: values, c0 y c1 deben tener la misma longitud");
    }
    bool ordered = true;
    bool non_negative = counts.missing_c0 >= 0 && counts.missing_c1 >= 0;
    for (std::size_t i = 0; i < n; ++i) {
        ordered = ordered && !std::isnan(counts.values[i]) &&
                  (i == 0 || order_key(counts.values[i - 1]) < order_key(counts.values[i]));
        non_negative = non_negative && counts.c0[i] >= 0 && counts.c1[i] >= 0;
    }
    if (!ordered) {
        throw std::invalid_argument(
            "value_counts: values deben ser distintos, sin NaN y crecientes");
    }
    if (!non_negative) {
        throw std::invalid_argument("value_counts: los conteos no pueden ser negativos");
    }
    // The whole sample must be countable: every later sum stays below this one.
    std::int64_t total = checked_sum(counts.missing_c0, counts.missing_c1);
    for (std::size_t i = 0; i < n; ++i) {
        total = checked_sum(total, checked_sum(counts.c0[i], counts.c1[i]));
    }
}

std::vector<SampleRun> sample_runs(const CountsView& counts) {
    std::vector<SampleRun> runs;
    const std::size_t n = counts.values.size();
    std::size_t first = 0;
    while (first < n) {
        const double x = counts.values[first];
        std::size_t last = first + 1;
        while (last < n && counts.values[last] == x) ++last;
        if (std::isfinite(x)) {
            for (std::size_t k = first; k < last; ++k) {
                if (counts.c0[k] > 0) runs.push_back({counts.values[k], 0, counts.c0[k]});
            }
            for (std::size_t k = first; k < last; ++k) {
                if (counts.c1[k] > 0) runs.push_back({counts.values[k], 1, counts.c1[k]});
            }
        }
        first = last;
    }
    return runs;
}

}  // namespace tembrolin
