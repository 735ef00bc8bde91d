#pragma once

// What two neighbouring bins must satisfy apart from the trend: a gap between
// their rates and a significant difference.

#include <cmath>

#include "optimal/bin_table.hpp"

namespace tembrolin {

// The z statistic of the difference of the rates of bins a and b, whose
// two-sided p-value is erfc(z / sqrt(2)).
// Binary: the pooled two-proportion z-test, p = (c1_a + c1_b) / (n_a + n_b),
//   z = |r_a - r_b| / sqrt(p (1 - p) (1 / n_a + 1 / n_b)).
// Continuous: the z-test of two means with each bin's population variance,
//   z = |m_a - m_b| / sqrt(v_a / n_a + v_b / n_b).
// Equal rates give 0 (p-value 1); different rates with a zero standard error give
// infinity (p-value 0).
double neighbour_z(const BinCell& a, const BinCell& b, bool binary);

class NeighbourTest {
  public:
    NeighbourTest(double min_rate_diff, double max_pvalue, bool binary);

    double min_rate_diff() const { return min_rate_diff_; }
    bool tests_pvalue() const { return max_pvalue_ < 1.0; }

    // |r_b - r_a| >= min_rate_diff and p-value <= max_pvalue, each checked only
    // when it can fail.
    bool passes(const BinCell& a, const BinCell& b) const {
        if (min_rate_diff_ > 0.0 && !(std::fabs(b.rate - a.rate) >= min_rate_diff_)) return false;
        if (!tests_pvalue()) return true;
        const double z = neighbour_z(a, b, binary_);
        // erfc decides only near the critical z: away from it the answer is sure.
        if (z >= z_pass_) return true;
        if (z < z_fail_) return false;
        return std::erfc(z * std::sqrt(0.5)) <= max_pvalue_;
    }

  private:
    double min_rate_diff_;
    double max_pvalue_;
    bool binary_;
    double z_fail_ = 0.0;  // below it the p-value is surely above max_pvalue
    double z_pass_ = 0.0;  // from it on the p-value is surely at most max_pvalue
};

}  // namespace tembrolin
