#pragma once

// What two neighbouring bins must satisfy apart from the trend: a gap between
// their rates and a significant difference.

#include <cmath>

#include "optimal/bin_table.hpp"

namespace tembrolin {

// Two-sided p-value of the difference of the rates of bins a and b.
// Binary: the pooled two-proportion z-test, p = (c1_a + c1_b) / (n_a + n_b),
//   z = |r_a - r_b| / sqrt(p (1 - p) (1 / n_a + 1 / n_b)).
// Continuous: the z-test of two means with each bin's population variance,
//   z = |m_a - m_b| / sqrt(v_a / n_a + v_b / n_b).
// Then p = erfc(z / sqrt(2)); equal rates give 1, and different rates with a zero
// standard error give 0.
double neighbour_pvalue(const BinCell& a, const BinCell& b, bool binary);

struct NeighbourTest {
    double min_rate_diff;
    double max_pvalue;
    bool binary;

    // |r_b - r_a| >= min_rate_diff and p-value <= max_pvalue, each checked only
    // when it can fail.
    bool passes(const BinCell& a, const BinCell& b) const {
        if (min_rate_diff > 0.0 && !(std::fabs(b.rate - a.rate) >= min_rate_diff)) return false;
        return max_pvalue >= 1.0 || neighbour_pvalue(a, b, binary) <= max_pvalue;
    }
};

}  // namespace tembrolin
