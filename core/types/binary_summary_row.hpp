#pragma once

#include <cstdint>

namespace tembrolin {

// One row of a binary-target report: an MDLP segment, a bin, or the bucket of
// observations whose x is missing (then left, right and representative are NaN).
struct BinarySummaryRow {
    double left;        // excluded
    double right;       // included
    std::int64_t count;
    double percentage;  // a fraction of the report's base, not scaled by 100
    std::int64_t c0;
    std::int64_t c1;
    double event_rate;
    double representative;
};

}  // namespace tembrolin
