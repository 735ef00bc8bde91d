#include "optimal/partition_problem.hpp"

#include <limits>
#include <stdexcept>
#include <string>

namespace tembrolin {
namespace {

[[noreturn]] void reject(const std::string& what) {
    throw std::invalid_argument("optimal_partition: " + what);
}

// Written so that NaN fails.
void finite_non_negative(double value, const char* name) {
    if (!(value >= 0.0 && value < std::numeric_limits<double>::infinity())) {
        reject(std::string(name) + " debe ser finito y no negativo");
    }
}

}  // namespace

Trend parse_trend(std::string_view name) {
    if (name == "ascending") return Trend::ascending;
    if (name == "descending") return Trend::descending;
    if (name == "auto") return Trend::automatic;
    if (name == "peak") return Trend::peak;
    if (name == "valley") return Trend::valley;
    reject("monotonic_trend no reconocido: '" + std::string(name) + "'");
}

BinaryObjective parse_binary_objective(std::string_view name) {
    if (name == "iv") return BinaryObjective::iv;
    if (name == "js") return BinaryObjective::js;
    reject("objective no reconocido: '" + std::string(name) + "'");
}

std::string_view trend_name(Trend trend) {
    switch (trend) {
        case Trend::ascending:
            return "ascending";
        case Trend::descending:
            return "descending";
        case Trend::automatic:
            return "auto";
        case Trend::peak:
            return "peak";
        case Trend::valley:
            return "valley";
        case Trend::none:
            break;
    }
    return "";
}

void check_constraints(const PartitionConstraints& c) {
    finite_non_negative(c.min_bin_size, "min_bin_size");
    if (!(c.max_bin_size >= c.min_bin_size)) {
        reject("min_bin_size no puede ser mayor que max_bin_size");
    }
    if (c.min_n_bins < 1) reject("min_n_bins debe ser al menos 1");
    if (c.max_n_bins < 0) reject("max_n_bins no puede ser negativo (0 es sin límite)");
    if (c.max_n_bins > 0 && c.min_n_bins > c.max_n_bins) {
        reject("min_n_bins no puede ser mayor que max_n_bins");
    }
    finite_non_negative(c.min_rate_diff, "min_rate_diff");
    if (!(c.max_pvalue >= 0.0 && c.max_pvalue <= 1.0)) {
        reject("max_pvalue debe estar entre 0 y 1");
    }
    finite_non_negative(c.min_bin_events, "min_bin_events");
    finite_non_negative(c.min_bin_non_events, "min_bin_non_events");
}

}  // namespace tembrolin
