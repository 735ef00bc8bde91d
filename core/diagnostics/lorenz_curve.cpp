#include "diagnostics/lorenz_curve.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

// The curve built group by group, ascending in x, from the cumulative class
// counts at the end of each group; the area under it gives the AUC.
class CurveBuilder {
  public:
    CurveBuilder(double total0, double total1, std::size_t groups)
        : total0_(total0), total1_(total1) {
        // An upper bound; the pages past the last point are never touched.
        curve_.points.reserve(groups);
    }
    void close_group(double value, std::uint64_t c0, std::uint64_t c1) {
        const double ne = static_cast<double>(c0) / total0_;
        const double e = static_cast<double>(c1) / total1_;
        // Trapezoid from the previous point; the curve starts at (0, 0).
        area_ += (e + prev_e_) * (ne - prev_ne_) * 0.5;
        curve_.points.push_back({value, ne, e});
        prev_ne_ = ne;
        prev_e_ = e;
    }
    LorenzCurve finish() && {
        curve_.auc = 1.0 - area_;
        curve_.gini = (curve_.auc + curve_.auc) - 1.0;
        return std::move(curve_);
    }

  private:
    double total0_;
    double total1_;
    LorenzCurve curve_{{}, 0.0, 0.0};
    double prev_ne_ = 0.0;
    double prev_e_ = 0.0;
    double area_ = 0.0;
};

void require_both_classes(std::uint64_t n1, std::uint64_t kept) {
    if (n1 == 0 || n1 == kept) {
        throw std::invalid_argument("lorenz_curve: se necesitan ambas clases");
    }
}

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
    require_both_classes(n1, kept);

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
    CurveBuilder curve(static_cast<double>(kept.keys.class0().size()),
                       static_cast<double>(kept.keys.class1().size()),
                       kept.keys.class0().size() + kept.keys.class1().size());
    std::size_t c0 = 0;
    std::size_t c1 = 0;
    auto close_group = [&](std::uint64_t key) {
        const double group = from_order_key(key);
        curve.close_group(group == 0.0 ? kept.first_zero : group, c0, c1);
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
    return std::move(curve).finish();
}

template LorenzCurve lorenz_curve(std::span<const double>, std::span<const std::int32_t>);
template LorenzCurve lorenz_curve(std::span<const double>, std::span<const double>);

LorenzCurve lorenz_from_counts(std::span<const double> values, std::span<const std::int64_t> c0,
                               std::span<const std::int64_t> c1) {
    // Grouped as the raw curve groups its x: by the key of v + 0.0, with NaN and
    // values of no observation set aside. Which zero came first is not in the
    // counts, so the zero group is named +0.0.
    std::vector<std::pair<std::uint64_t, std::size_t>> order;
    std::uint64_t total0 = 0;
    std::uint64_t total1 = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (c0[i] < 0 || c1[i] < 0) {
            throw std::invalid_argument("lorenz_curve: los conteos no pueden ser negativos");
        }
        if (std::isnan(values[i]) || (c0[i] == 0 && c1[i] == 0)) continue;
        order.emplace_back(order_key(values[i] + 0.0), i);
        total0 += static_cast<std::uint64_t>(c0[i]);
        total1 += static_cast<std::uint64_t>(c1[i]);
    }
    require_both_classes(total1, total0 + total1);
    std::sort(order.begin(), order.end());
    CurveBuilder curve(static_cast<double>(total0), static_cast<double>(total1), order.size());
    std::uint64_t run0 = 0;
    std::uint64_t run1 = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        run0 += static_cast<std::uint64_t>(c0[order[k].second]);
        run1 += static_cast<std::uint64_t>(c1[order[k].second]);
        if (k + 1 == order.size() || order[k + 1].first != order[k].first) {
            curve.close_group(from_order_key(order[k].first), run0, run1);
        }
    }
    return std::move(curve).finish();
}

}  // namespace tembrolin
