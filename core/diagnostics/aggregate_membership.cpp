#include "diagnostics/aggregate_membership.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tembrolin {
namespace {

// Rows summed side by side: each row keeps its own sum in ascending column order
// from 0.0, so the result is the plain loop's bit for bit, but the independent
// sums overlap instead of waiting on one another's additions.
constexpr std::size_t rows_together = 4;

// The sums are too quick for the hardware's own prefetching to keep up, so the
// rows a few blocks ahead are asked for in advance, one cache line at a time.
constexpr std::size_t rows_ahead = 4 * rows_together;
constexpr std::size_t doubles_per_line = 8;

void prefetch_rows(std::span<const double> matrix, std::size_t first, std::size_t k) {
    const std::size_t begin = first * k;
    const std::size_t end = std::min(begin + rows_together * k, matrix.size());
    for (std::size_t c = begin; c < end; c += doubles_per_line) __builtin_prefetch(&matrix[c]);
}

void weighted_sums(std::span<const double> matrix, std::size_t n, std::size_t k,
                   std::span<const double> values, std::span<double> result) {
    std::size_t i = 0;
    for (; i + rows_together <= n; i += rows_together) {
        prefetch_rows(matrix, i + rows_ahead, k);
        const double* row = matrix.data() + i * k;
        double s0 = 0.0;
        double s1 = 0.0;
        double s2 = 0.0;
        double s3 = 0.0;
        for (std::size_t j = 0; j < k; ++j) {
            s0 += values[j] * row[j];
            s1 += values[j] * row[k + j];
            s2 += values[j] * row[2 * k + j];
            s3 += values[j] * row[3 * k + j];
        }
        result[i] = s0;
        result[i + 1] = s1;
        result[i + 2] = s2;
        result[i + 3] = s3;
    }
    for (; i < n; ++i) {
        const double* row = matrix.data() + i * k;
        double sum = 0.0;
        for (std::size_t j = 0; j < k; ++j) sum += values[j] * row[j];
        result[i] = sum;
    }
}

}  // namespace

void aggregate_membership(std::span<const double> matrix, std::size_t n, std::size_t k,
                          std::span<const double> values, bool standardize,
                          std::span<double> result) {
    if (k == 0) throw std::invalid_argument("aggregate_membership: k debe ser positivo");
    weighted_sums(matrix, n, k, values, result);
    if (!standardize || n < 2) return;

    const auto count = static_cast<double>(n);
    double total = 0.0;
    for (const double r : result) total += r;
    const double mean = total / count;
    double squares = 0.0;
    for (const double r : result) {
        const double d = r - mean;
        squares += d * d;
    }
    const double sd = std::sqrt(squares / (count - 1.0));
    // Constant (or NaN) results have nothing to scale by and stay as they are.
    if (sd > 0.0) {
        for (double& r : result) r = (r - mean) / sd;
    }
}

}  // namespace tembrolin
