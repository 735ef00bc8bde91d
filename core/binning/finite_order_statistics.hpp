#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace tembrolin {

// The finite values of x counted by the leading bits of their sort keys: an
// order statistic then costs gathering the one bucket it falls in, not a sort.
struct FiniteHistogram {
    std::size_t count = 0;  // finite values, at least one
    double min = 0.0;
    double max = 0.0;
    std::vector<std::size_t> buckets;
};

// One pass over x; no finite value at all is an error.
FiniteHistogram histogram_of_finite(std::span<const double> x);

// The finite values of x at the given positions (ascending, each below
// histogram.count) of their ascending order, exactly as sort_doubles puts
// them. One more pass over x.
std::vector<double> finite_order_statistics(std::span<const double> x,
                                            const FiniteHistogram& histogram,
                                            std::span<const std::size_t> positions);

}  // namespace tembrolin
