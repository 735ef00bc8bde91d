#include "diagnostics/lorenz_curve.hpp"

#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

// Only how many observations of each class share each distinct x matters, not
// their order within it. So the kept x of each class are sorted on their own by
// radix sort and the two sorted runs are walked together, which gives the same
// groups as a stable sort of the (x, y) pairs at a fraction of its cost.
struct ClassKeys {
    std::vector<std::uint64_t> non_event;
    std::vector<std::uint64_t> event;
    // The first kept zero in input order: it names the zero group, whose
    // members may mix -0.0 and +0.0.
    double first_zero = 0.0;
};

ClassKeys kept_keys(std::span<const double> x, std::span<const std::int32_t> y) {
    std::size_t n0 = 0;
    std::size_t n1 = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::isnan(x[i])) continue;  // its y is not looked at
        if (y[i] == 0) {
            ++n0;
        } else if (y[i] == 1) {
            ++n1;
        } else {
            throw std::invalid_argument("lorenz_curve: y debe contener solo 0 y 1");
        }
    }
    if (n0 == 0 || n1 == 0) throw std::invalid_argument("lorenz_curve: se necesitan ambas clases");

    ClassKeys keys;
    keys.non_event.reserve(n0);
    keys.event.reserve(n1);
    bool zero_seen = false;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::isnan(x[i])) continue;
        if (x[i] == 0.0 && !zero_seen) {
            keys.first_zero = x[i];
            zero_seen = true;
        }
        (y[i] == 1 ? keys.event : keys.non_event).push_back(order_key(x[i]));
    }
    radix_sort(keys.non_event);
    radix_sort(keys.event);
    return keys;
}

// Calls visit(x, non-events, events) for each group of equal x, ascending. Groups
// compare as doubles, so -0.0 and +0.0 (adjacent in key order) form one group.
template <class Visit>
void for_each_group(const ClassKeys& keys, Visit visit) {
    const auto& a = keys.non_event;
    const auto& b = keys.event;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() || j < b.size()) {
        double group;
        if (i == a.size()) {
            group = from_order_key(b[j]);
        } else if (j == b.size()) {
            group = from_order_key(a[i]);
        } else {
            const double xa = from_order_key(a[i]);
            const double xb = from_order_key(b[j]);
            group = xb < xa ? xb : xa;
        }
        const std::size_t start_i = i;
        const std::size_t start_j = j;
        while (i < a.size() && from_order_key(a[i]) == group) ++i;
        while (j < b.size() && from_order_key(b[j]) == group) ++j;
        visit(group, i - start_i, j - start_j);
    }
}

}  // namespace

LorenzCurve lorenz_curve(std::span<const double> x, std::span<const std::int32_t> y) {
    const ClassKeys keys = kept_keys(x, y);

    std::size_t groups = 0;
    for_each_group(keys, [&](double, std::size_t, std::size_t) { ++groups; });

    const auto total0 = static_cast<double>(keys.non_event.size());
    const auto total1 = static_cast<double>(keys.event.size());
    LorenzCurve curve{{}, 0.0, 0.0};
    curve.points.reserve(groups);
    std::size_t c0 = 0;
    std::size_t c1 = 0;
    double prev_ne = 0.0;
    double prev_e = 0.0;
    double area = 0.0;
    for_each_group(keys, [&](double group, std::size_t non_events, std::size_t events) {
        c0 += non_events;
        c1 += events;
        const double ne = static_cast<double>(c0) / total0;
        const double e = static_cast<double>(c1) / total1;
        // Trapezoid from the previous point; the curve starts at (0, 0).
        area += (e + prev_e) * (ne - prev_ne) * 0.5;
        const double value = group == 0.0 ? keys.first_zero : group;
        curve.points.push_back({value, ne, e});
        prev_ne = ne;
        prev_e = e;
    });
    curve.auc = 1.0 - area;
    curve.gini = (curve.auc + curve.auc) - 1.0;
    return curve;
}

}  // namespace tembrolin
