#include "diagnostics/membership.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

#include "sort/sorted_search.hpp"

namespace tembrolin {
namespace {

// The share t of the upper representative hi for a finite v with lo < v < hi,
// (v - lo) / (hi - lo) where that is finite. An infinite end has nothing to
// measure by, so the limit decides: the value belongs wholly to the finite end,
// or half to each when both ends are infinite.
double share_of_upper(double v, double lo, double hi) {
    if (std::isinf(lo) || std::isinf(hi)) {
        if (std::isinf(lo) && std::isinf(hi)) return 0.5;
        return std::isinf(lo) ? 1.0 : 0.0;
    }
    const double width = hi - lo;
    // Two finite ends of opposite signs near the largest double: their distance
    // overflows, the distance of their halves does not.
    if (std::isinf(width)) return (v * 0.5 - lo * 0.5) / (hi * 0.5 - lo * 0.5);
    return (v - lo) / width;
}

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

MembershipShape membership_shape(std::size_t n, std::span<const double> representatives) {
    const std::size_t k = representatives.size();
    if (k == 0) throw std::invalid_argument("membership: faltan representantes");
    // Infinite representatives are allowed: a value between one and its finite
    // neighbour belongs wholly to the finite one.
    if (!strictly_increasing(representatives, false)) {
        throw std::invalid_argument("membership: representantes deben ser crecientes y únicos");
    }
    // Neither a vector nor a NumPy array can hold more bytes than ptrdiff_t counts;
    // beyond that the size would wrap, so it fails as memory exhaustion instead.
    constexpr auto max_cells =
        static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(double);
    const std::size_t columns = k + 1;  // k counts array elements: no wrap
    if (n != 0 && columns > max_cells / n) throw std::bad_alloc();
    return {n, columns};
}

void membership(std::span<const double> x, std::span<const double> representatives,
                std::span<double> out) {
    const std::size_t k = representatives.size();
    const std::size_t columns = k + 1;
    const double first = representatives[0];
    const double last = representatives[k - 1];
    double* row = out.data();
    for (const double v : x) {
        std::fill(row, row + columns, 0.0);
        if (std::isnan(v)) {
            row[k] = 1.0;
        } else if (k == 1 || first >= v) {
            row[0] = 1.0;
        } else if (v >= last) {
            row[k - 1] = 1.0;
        } else {
            // first < v < last: the first representative above v is interior.
            const std::size_t j = count_elements<Side::at_or_below>(representatives, v);
            const double t = share_of_upper(v, representatives[j - 1], representatives[j]);
            row[j - 1] = 1.0 - t;
            row[j] = t;
        }
        row += columns;
    }
}

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
