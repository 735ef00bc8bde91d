#include "optimal/neighbour_tests.hpp"

#include <limits>

namespace tembrolin {

double neighbour_z(const BinCell& a, const BinCell& b, bool binary) {
    const double diff = std::fabs(a.rate - b.rate);
    if (diff == 0.0) return 0.0;
    double variance = 0.0;
    if (binary) {
        const double pooled = (a.spread + b.spread) / (a.weight + b.weight);
        variance = pooled * (1.0 - pooled) * (1.0 / a.weight + 1.0 / b.weight);
    } else {
        variance = a.spread / a.weight + b.spread / b.weight;
    }
    const double error = std::sqrt(variance);
    return error == 0.0 ? std::numeric_limits<double>::infinity() : diff / error;
}

NeighbourTest::NeighbourTest(double min_rate_diff, double max_pvalue, bool binary)
    : min_rate_diff_(min_rate_diff), max_pvalue_(max_pvalue), binary_(binary) {
    if (!tests_pvalue()) return;
    // The z where erfc(z / sqrt(2)) falls to max_pvalue, by bisection; a margin of
    // a millionth either side dwarfs any rounding of erfc.
    double low = 0.0;
    double high = 64.0;
    for (int step = 0; step < 200; ++step) {
        const double mid = 0.5 * (low + high);
        (std::erfc(mid * std::sqrt(0.5)) <= max_pvalue ? high : low) = mid;
    }
    z_fail_ = low * (1.0 - 1e-6) - 1e-6;
    z_pass_ = high * (1.0 + 1e-6) + 1e-6;
}

}  // namespace tembrolin
