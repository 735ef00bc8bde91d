#include "binning/finite_order_statistics.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "binning/order_statistics.hpp"
#include "sort/radix_sort.hpp"

namespace tembrolin {
namespace {

// Sign, exponent and 4 bits of mantissa: on spread-out data each bucket holds
// a small fraction of the sample.
constexpr int bucket_bits = 16;
constexpr std::size_t bucket_count = std::size_t{1} << bucket_bits;

std::size_t bucket_of(double v) {
    return static_cast<std::size_t>(order_key(v) >> (64 - bucket_bits));
}

}  // namespace

FiniteHistogram histogram_of_finite(std::span<const double> x) {
    FiniteHistogram h;
    h.buckets.assign(bucket_count, 0);
    h.min = std::numeric_limits<double>::infinity();
    h.max = -std::numeric_limits<double>::infinity();
    for (const double v : x) {
        if (!std::isfinite(v)) continue;
        ++h.buckets[bucket_of(v)];
        h.min = std::min(h.min, v);
        h.max = std::max(h.max, v);
        ++h.count;
    }
    if (h.count == 0) throw std::invalid_argument("binning: x no contiene valores finitos");
    return h;
}

std::vector<double> finite_order_statistics(std::span<const double> x,
                                            const FiniteHistogram& histogram,
                                            std::span<const std::size_t> positions) {
    // first[b]: the position in ascending order of the first value of bucket b.
    std::vector<std::size_t> first(bucket_count + 1, 0);
    std::partial_sum(histogram.buckets.begin(), histogram.buckets.end(), first.begin() + 1);
    auto bucket_at = [&](std::size_t position) {
        return static_cast<std::size_t>(std::upper_bound(first.begin(), first.end(), position) -
                                        first.begin()) - 1;
    };

    // The buckets that hold a wanted position, each given a stretch of one buffer.
    constexpr auto unused = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> stretch_of(bucket_count, unused);
    std::vector<std::size_t> wanted;  // bucket of each stretch
    std::vector<std::size_t> stretch_start{0};
    for (const std::size_t position : positions) {
        const std::size_t b = bucket_at(position);
        if (stretch_of[b] != unused) continue;
        stretch_of[b] = static_cast<std::uint32_t>(wanted.size());
        wanted.push_back(b);
        stretch_start.push_back(stretch_start.back() + histogram.buckets[b]);
    }
    std::vector<double> gathered(stretch_start.back());
    std::vector<std::size_t> cursor(stretch_start.begin(), stretch_start.end() - 1);
    for (const double v : x) {
        if (!std::isfinite(v)) continue;
        const std::uint32_t s = stretch_of[bucket_of(v)];
        if (s != unused) gathered[cursor[s]++] = v;
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
        select_order_statistics(
            std::span(gathered).subspan(stretch_start[s], histogram.buckets[b]), ranks);
    }
    for (const std::size_t position : positions) {
        const std::size_t b = bucket_at(position);
        out.push_back(gathered[stretch_start[stretch_of[b]] + position - first[b]]);
    }
    return out;
}

}  // namespace tembrolin
