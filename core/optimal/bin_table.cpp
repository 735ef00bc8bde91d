#include "optimal/bin_table.hpp"

#include <bit>
#include <cmath>
#include <stdexcept>
#include <string>

namespace tembrolin {
namespace {

void check_weights(std::span<const double> values, const char* names) {
    for (const double v : values) {
        if (!(v >= 0.0 && std::isfinite(v))) {
            throw std::invalid_argument(std::string("optimal_partition: ") + names +
                                        " deben ser finitos y no negativos");
        }
    }
}

void check_lengths(std::size_t a, std::size_t b, const char* message) {
    if (a != b) throw std::invalid_argument(message);
    if (a == 0) throw std::invalid_argument("optimal_partition: se necesita al menos un pre-bin");
}

bool within_size(double weight, const PartitionConstraints& c) {
    return weight > 0.0 && weight >= c.min_bin_size && weight <= c.max_bin_size;
}

// The package's weight of evidence: a bin without events or without non-events
// gets 0.5 added to both counts; a sample without one of the classes scores 0.
// IV_b = (g - b) ln(g / b), written with the larger share first. JS_b = (g ln(g / m) + b ln(b / m))
// / 2 with m = (g + b) / 2: the bin's share of the Jensen-Shannon divergence between the
// distributions of non-events and events over the bins.
double binary_term(double s0, double s1, double total0, double total1, BinaryObjective objective) {
    if (total0 == 0.0 || total1 == 0.0) return 0.0;
    const double adjust = (s0 == 0.0 || s1 == 0.0) ? 0.5 : 0.0;
    const double g = (s0 + adjust) / total0;
    const double b = (s1 + adjust) / total1;
    // The larger share over the smaller: the same bits when the classes swap.
    if (objective == BinaryObjective::iv) {
        const double high = std::fmax(g, b);
        const double low = std::fmin(g, b);
        return (high - low) * std::log(high / low);
    }
    const double m = 0.5 * (g + b);
    return 0.5 * (g * std::log(g / m) + b * std::log(b / m));
}

// Rounds the raw terms down to multiples of 2^-scale, scale the largest at which
// P terms of the largest magnitude add up below 2^62: exact integer sums that
// cannot overflow.
void quantise(BinTable& table, const std::vector<double>& raw) {
    double largest = 0.0;
    for (std::size_t k = 0; k < raw.size(); ++k) {
        if (table.cells[k].weight > 0.0) largest = std::fmax(largest, std::fabs(raw[k]));
    }
    if (!std::isfinite(largest)) {
        throw std::invalid_argument(
            "optimal_partition: los valores son demasiado grandes para el objetivo");
    }
    int exponent = 0;
    std::frexp(largest, &exponent);  // largest < 2^exponent
    table.scale =
        largest == 0.0 ? 0 : 62 - exponent - static_cast<int>(std::bit_width(table.pre_bins));
    for (std::size_t k = 0; k < raw.size(); ++k) {
        table.cells[k].term =
            static_cast<std::int64_t>(std::floor(std::ldexp(raw[k], table.scale)));
    }
}

}  // namespace

BinTable binary_bin_table(std::span<const double> c0, std::span<const double> c1,
                          BinaryObjective objective, const PartitionConstraints& c) {
    check_lengths(c0.size(), c1.size(), "optimal_partition: c0 y c1 deben tener la misma longitud");
    check_weights(c0, "c0");
    check_weights(c1, "c1");
    const std::size_t n = c0.size();
    double total0 = 0.0;
    double total1 = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        total0 += c0[k];
        total1 += c1[k];
    }
    BinTable table{n, 0, std::vector<BinCell>(n * (n + 1) / 2)};
    std::vector<double> raw(table.cells.size(), 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        double s0 = 0.0;
        double s1 = 0.0;
        for (std::size_t j = i + 1; j <= n; ++j) {
            s0 += c0[j - 1];
            s1 += c1[j - 1];
            const double weight = s0 + s1;
            const bool filled = weight > 0.0;
            const std::size_t k = BinTable::index(i, j);
            table.cells[k] = {
                weight, filled ? s1 / weight : 0.0, s1, 0,
                within_size(weight, c) && s1 >= c.min_bin_events && s0 >= c.min_bin_non_events};
            raw[k] = filled ? binary_term(s0, s1, total0, total1, objective) : 0.0;
        }
    }
    quantise(table, raw);
    return table;
}

BinTable continuous_bin_table(std::span<const double> count, std::span<const double> sum,
                              std::span<const double> sum_sq, const PartitionConstraints& c) {
    constexpr const char* lengths =
        "optimal_partition: count, sum y sum_sq deben tener la misma longitud";
    check_lengths(count.size(), sum.size(), lengths);
    check_lengths(count.size(), sum_sq.size(), lengths);
    check_weights(count, "count");
    check_weights(sum_sq, "sum_sq");
    for (const double v : sum) {
        if (!std::isfinite(v)) {
            throw std::invalid_argument("optimal_partition: sum debe ser finito");
        }
    }
    const std::size_t n = count.size();
    BinTable table{n, 0, std::vector<BinCell>(n * (n + 1) / 2)};
    std::vector<double> raw(table.cells.size(), 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        double weight = 0.0;
        double s = 0.0;
        double q = 0.0;
        for (std::size_t j = i + 1; j <= n; ++j) {
            weight += count[j - 1];
            s += sum[j - 1];
            q += sum_sq[j - 1];
            const bool filled = weight > 0.0;
            const double mean = filled ? s / weight : 0.0;
            // The population variance; rounding can push it below zero.
            const double variance = filled ? std::fmax((q - s * mean) / weight, 0.0) : 0.0;
            const std::size_t k = BinTable::index(i, j);
            table.cells[k] = {weight, mean, variance, 0, within_size(weight, c)};
            raw[k] = filled ? (s * s) / weight : 0.0;
        }
    }
    quantise(table, raw);
    return table;
}

}  // namespace tembrolin
