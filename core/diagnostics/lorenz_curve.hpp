#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tembrolin {

// The shares of non-events and events with x at or below one distinct value.
struct LorenzPoint {
    double value;
    double cumulative_non_event;
    double cumulative_event;
};

struct LorenzCurve {
    std::vector<LorenzPoint> points;  // one per distinct kept x, ascending
    double auc;
    double gini;
};

// The Lorenz curve of x against a 0/1 target, with its AUC and Gini. Observations
// whose x is NaN are dropped; the caller has checked that x and y match in length.
// y keeps the caller's values (int32 or double), so any that is not exactly 0
// or 1 is refused, never rounded into a class first.
template <class Target>
LorenzCurve lorenz_curve(std::span<const double> x, std::span<const Target> y);

// The same curve from the class counts at each value (values in any order, a
// value may repeat): equal to the curve of the sample those counts describe, but
// for the sign of the zero group's value, always +0.0.
LorenzCurve lorenz_from_counts(std::span<const double> values, std::span<const std::int64_t> c0,
                               std::span<const std::int64_t> c1);

}  // namespace tembrolin
