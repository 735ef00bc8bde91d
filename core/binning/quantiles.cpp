#include "binning/quantiles.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

// Sign, exponent and 4 bits of mantissa: on spread-out data each bucket holds
// a small fraction of the sample.
constexpr int bucket_bits = 16;
constexpr std::size_t bucket_count = std::size_t{1} << bucket_bits;

// Up to this many quantiles, fetching their order statistics beats a full sort.
constexpr std::uint64_t most_selected_quantiles = 256;

std::size_t bucket_of(double v) {
    return static_cast<std::size_t>(order_key(v) >> (64 - bucket_bits));
}

// The finite values of x at the given positions (ascending, each below
// histogram.count) of their ascending order, exactly as sort_doubles puts
// them. One more pass over x.
std::vector<double> finite_order_statistics(std::span<const double> x,
                                            const FiniteHistogram& histogram,
                                            std::span<const std::size_t> positions) {
    // first[b]: the position in ascending order of the first value of bucket b.
    std::vector<std::size_t> first(bucket_count + 1, 0);
    std::partial_sum(histogram.buckets.begin(), histogram.buckets.end(), first.begin() + 1);
    auto bucket_at = [&](std::size_t position) {
        return static_cast<std::size_t>(std::upper_bound(first.begin(), first.end(), position) -
                                        first.begin()) -
               1;
    };

    // The buckets that hold a wanted position, each given a stretch of one buffer. The
    // others share a few spare elements past the stretches, written over and never
    // read: the gathering takes no branch on whether a value is wanted, which comes in
    // no predictable order, and the spare elements are several so that the values
    // nobody wants do not all wait on one cursor.
    constexpr std::uint32_t spares = 8;
    // Of each bucket: its spare (0 .. spares - 1), or spares + its stretch once wanted.
    std::vector<std::uint32_t> stretch_of(bucket_count);
    for (std::size_t b = 0; b < bucket_count; ++b) stretch_of[b] = b % spares;
    std::vector<std::size_t> wanted;  // bucket of each stretch
    std::vector<std::size_t> stretch_start{0};
    for (const std::size_t position : positions) {
        const std::size_t b = bucket_at(position);
        if (stretch_of[b] >= spares) continue;
        stretch_of[b] = static_cast<std::uint32_t>(spares + wanted.size());
        wanted.push_back(b);
        stretch_start.push_back(stretch_start.back() + histogram.buckets[b]);
    }
    const std::size_t spare_start = stretch_start.back();
    std::vector<double> gathered(spare_start + spares);
    std::vector<std::size_t> cursor(spares + wanted.size());
    std::vector<std::size_t> step(spares + wanted.size(), 1);
    for (std::size_t s = 0; s < spares; ++s) {
        cursor[s] = spare_start + s;
        step[s] = 0;
    }
    std::copy(stretch_start.begin(), stretch_start.end() - 1, cursor.begin() + spares);
    for (const double v : x) {
        if (!std::isfinite(v)) continue;
        const std::uint32_t s = stretch_of[bucket_of(v)];
        gathered[cursor[s]] = v;
        cursor[s] += step[s];
    }

    // Within a stretch the values keep their bucket's order, so a position's
    // value is its rank inside the bucket, found by selection.
    std::vector<double> out;
    out.reserve(positions.size());
    for (std::size_t s = 0; s < wanted.size(); ++s) {
        const std::size_t b = wanted[s];
        std::vector<std::size_t> ranks;
        for (const std::size_t position : positions) {
            if (bucket_at(position) == b) ranks.push_back(position - first[b]);
        }
        select_order_statistics(std::span(gathered).subspan(stretch_start[s], histogram.buckets[b]),
                                ranks);
    }
    for (const std::size_t position : positions) {
        const std::size_t b = bucket_at(position);
        out.push_back(gathered[stretch_start[stretch_of[b] - spares] + position - first[b]]);
    }
    return out;
}

}  // namespace

double quantile_level(std::uint64_t i, std::uint64_t n_bins) {
    return static_cast<double>(i) / static_cast<double>(n_bins);
}

void require_finite_values(std::size_t count) {
    if (count == 0) throw std::invalid_argument("binning: x no contiene valores finitos");
}

QuantilePosition quantile_position(std::size_t m, double q) {
    // Written so that NaN fails too: it would otherwise turn into an index.
    if (!(q >= 0.0 && q <= 1.0)) {
        throw std::invalid_argument("binning: los cuantiles deben estar entre 0 y 1");
    }
    return position_at(m, static_cast<double>(m - 1) * q);
}

std::vector<double> finite_sorted_values(std::span<const double> x) {
    std::vector<double> values;
    values.reserve(x.size());
    for (const double v : x) {
        if (std::isfinite(v)) values.push_back(v);
    }
    require_finite_values(values.size());
    sort_doubles(values);
    return values;
}

FiniteHistogram histogram_of_finite(std::span<const double> x) {
    FiniteHistogram h;
    h.buckets.assign(bucket_count, 0);
    // The extremes as order keys: an integer minimum takes one cycle where a double's
    // takes four, and the pass would wait on it. The sign they give a zero extreme
    // (-0.0 wherever a -0.0 is) is not read: the extremes are only compared.
    std::uint64_t low = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t high = 0;
    for (const double v : x) {
        if (!std::isfinite(v)) continue;
        const std::uint64_t key = order_key(v);
        ++h.buckets[key >> (64 - bucket_bits)];
        low = std::min(low, key);
        high = std::max(high, key);
        ++h.count;
    }
    require_finite_values(h.count);
    h.min = from_order_key(low);
    h.max = from_order_key(high);
    return h;
}

std::vector<double> quantiles_of_finite(std::span<const double> x, const FiniteHistogram& histogram,
                                        std::uint64_t n_bins) {
    std::vector<double> out;
    out.reserve(static_cast<std::size_t>(n_bins - 1));  // as the caller's room for the splits
    if (n_bins - 1 > most_selected_quantiles) {
        const std::vector<double> s = finite_sorted_values(x);
        for (std::uint64_t i = 1; i < n_bins; ++i) {
            out.push_back(binning_quantile(s, quantile_level(i, n_bins)));
        }
        return out;
    }
    std::vector<QuantilePosition> where;
    std::vector<std::size_t> positions;
    for (std::uint64_t i = 1; i < n_bins; ++i) {
        where.push_back(quantile_position(histogram.count, quantile_level(i, n_bins)));
        positions.push_back(where.back().lower_index);
        positions.push_back(where.back().upper_index);
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    const std::vector<double> values = finite_order_statistics(x, histogram, positions);
    auto value_of = [&](std::size_t position) {
        const auto it = std::lower_bound(positions.begin(), positions.end(), position);
        return values[static_cast<std::size_t>(it - positions.begin())];
    };
    for (const QuantilePosition& p : where) {
        out.push_back(interpolate(value_of(p.lower_index), value_of(p.upper_index), p.fraction));
    }
    return out;
}

}  // namespace tembrolin
