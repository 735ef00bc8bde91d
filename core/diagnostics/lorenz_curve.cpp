#include "diagnostics/lorenz_curve.hpp"

#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

// Only how many observations of each class share each distinct x matters, not
// their order within it. So the kept x of each class are radix-sorted on their
// own and the two sorted runs are merged on the fly, which gives the groups of a
// stable sort of the (x, y) pairs at a fraction of its cost.
struct KeptKeys {
    ClassKeys keys;  // class 0: non-events, class 1: events
    // The first kept zero in input order: a stable sort would name the zero group
    // by it, and the group may mix -0.0 and +0.0.
    double first_zero = 0.0;
};

template <class Target>
KeptKeys kept_keys(std::span<const double> x, std::span<const Target> y) {
    // Counted without branches: the classes come in no predictable order. Every
    // bad y gives the same message, so learning of it after the pass is enough.
    std::size_t n1 = 0;
    std::size_t kept = 0;
    bool bad_class = false;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const bool keep = !std::isnan(x[i]);  // a NaN x hides its y
        kept += static_cast<std::size_t>(keep);
        n1 += static_cast<std::size_t>(keep & (y[i] == 1));
        bad_class |= keep & (y[i] != 0) & (y[i] != 1);
    }
    if (bad_class) throw std::invalid_argument("lorenz_curve: y debe contener solo 0 y 1");
    if (n1 == 0 || n1 == kept) {
        throw std::invalid_argument("lorenz_curve: se necesitan ambas clases");
    }

    KeptKeys kept_keys{ClassKeys(kept)};
    ClassKeys& keys = kept_keys.keys;
    bool zero_seen = false;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double v = x[i];
        if (std::isnan(v)) continue;
        if (v == 0.0 && !zero_seen) {
            kept_keys.first_zero = v;
            zero_seen = true;
        }
        // -0.0 + 0.0 is +0.0: both zeros get one key, as they form one group.
        keys.add(order_key(v + 0.0), static_cast<unsigned>(y[i] == 1));
    }
    keys.sort();
    return kept_keys;
}

}  // namespace

template <class Target>
LorenzCurve lorenz_curve(std::span<const double> x, std::span<const Target> y) {
    const KeptKeys kept = kept_keys(x, y);
    const auto total0 = static_cast<double>(kept.keys.class0().size());
    const auto total1 = static_cast<double>(kept.keys.class1().size());

    LorenzCurve curve{{}, 0.0, 0.0};
    // An upper bound; the pages past the last point are never touched.
    curve.points.reserve(kept.keys.class0().size() + kept.keys.class1().size());
    std::size_t c0 = 0;
    std::size_t c1 = 0;
    double prev_ne = 0.0;
    double prev_e = 0.0;
    double area = 0.0;
    auto close_group = [&](std::uint64_t key) {
        const double ne = static_cast<double>(c0) / total0;
        const double e = static_cast<double>(c1) / total1;
        // Trapezoid from the previous point; the curve starts at (0, 0).
        area += (e + prev_e) * (ne - prev_ne) * 0.5;
        const double group = from_order_key(key);
        curve.points.push_back({group == 0.0 ? kept.first_zero : group, ne, e});
        prev_ne = ne;
        prev_e = e;
    };
    // Both classes are present, so the first group is the smaller head.
    const std::uint64_t head0 = kept.keys.class0()[0];
    const std::uint64_t head1 = kept.keys.class1()[0];
    std::uint64_t current = head1 < head0 ? head1 : head0;
    merge_classes(kept.keys, [&](std::uint64_t key, bool event) {
        if (key != current) {
            close_group(current);
            current = key;
        }
        c1 += static_cast<std::size_t>(event);
        c0 += static_cast<std::size_t>(!event);
    });
    close_group(current);

    curve.auc = 1.0 - area;
    curve.gini = (curve.auc + curve.auc) - 1.0;
    return curve;
}

template LorenzCurve lorenz_curve(std::span<const double>, std::span<const std::int32_t>);
template LorenzCurve lorenz_curve(std::span<const double>, std::span<const double>);

}  // namespace tembrolin
