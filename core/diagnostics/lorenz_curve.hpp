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
LorenzCurve lorenz_curve(std::span<const double> x, std::span<const std::int32_t> y);

}  // namespace tembrolin
