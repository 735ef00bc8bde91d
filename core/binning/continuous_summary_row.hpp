#pragma once

#include <cstdint>

namespace tembrolin {

// One row of a continuous-target report: a bin, or the bucket of observations
// whose x is missing (then left, right and representative are NaN). The target
// statistics are NaN for a row without observations.
struct ContinuousSummaryRow {
    double left;        // excluded
    double right;       // included
    std::int64_t count;
    double percentage;  // a fraction of the observations with a target, not scaled by 100
    double representative;
    double target_mean;
    double target_p25;
    double target_median;
    double target_p75;
};

}  // namespace tembrolin
