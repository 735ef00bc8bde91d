#include "optimal/neighbour_tests.hpp"

#include <cmath>

namespace tembrolin {

double neighbour_pvalue(const BinCell& a, const BinCell& b, bool binary) {
    const double diff = a.rate - b.rate;
    if (diff == 0.0) return 1.0;
    double variance = 0.0;
    if (binary) {
        const double pooled = (a.spread + b.spread) / (a.weight + b.weight);
        variance = pooled * (1.0 - pooled) * (1.0 / a.weight + 1.0 / b.weight);
    } else {
        variance = a.spread / a.weight + b.spread / b.weight;
    }
    const double error = std::sqrt(variance);
    if (error == 0.0) return 0.0;
    return std::erfc(std::fabs(diff) / error * std::sqrt(0.5));
}

}  // namespace tembrolin
