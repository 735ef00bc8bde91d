#include "sort/radix_sort.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>

namespace tembrolin {
namespace {

constexpr int digit_bits = 8;
constexpr std::size_t digit_count = 64 / digit_bits;
constexpr std::size_t bucket_count = std::size_t{1} << digit_bits;
constexpr std::uint64_t digit_mask = bucket_count - 1;

// Below this size the histograms cost more than a comparison sort.
constexpr std::size_t small_input = 512;

std::size_t digit(std::uint64_t key, std::size_t pass) {
    return static_cast<std::size_t>((key >> (pass * digit_bits)) & digit_mask);
}

}  // namespace

void radix_sort(std::span<std::uint64_t> keys) {
    // Left uninitialised: every pass writes each element before reading it.
    const auto scratch = std::make_unique_for_overwrite<std::uint64_t[]>(keys.size());
    radix_sort(keys, {scratch.get(), keys.size()});
}

void radix_sort(std::span<std::uint64_t> keys, std::span<std::uint64_t> scratch) {
    const std::size_t n = keys.size();
    if (n < small_input) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    std::array<std::array<std::size_t, bucket_count>, digit_count> counts{};
    for (const std::uint64_t key : keys) {
        for (std::size_t pass = 0; pass < digit_count; ++pass) ++counts[pass][digit(key, pass)];
    }
    std::uint64_t* from = keys.data();
    std::uint64_t* to = scratch.data();
    for (std::size_t pass = 0; pass < digit_count; ++pass) {
        auto& count = counts[pass];
        // A digit shared by every key leaves the order as it is.
        if (count[digit(from[0], pass)] == n) continue;
        std::array<std::size_t, bucket_count> offset;
        std::size_t running = 0;
        for (std::size_t b = 0; b < bucket_count; ++b) {
            offset[b] = running;
            running += count[b];
        }
        for (std::size_t i = 0; i < n; ++i) to[offset[digit(from[i], pass)]++] = from[i];
        std::swap(from, to);
    }
    // An odd number of passes leaves the sorted keys in the scratch buffer.
    if (from != keys.data()) std::copy(from, from + n, keys.data());
}

void sort_doubles(std::vector<double>& values) {
    std::vector<std::uint64_t> keys(values.size());
    std::transform(values.begin(), values.end(), keys.begin(), order_key);
    radix_sort(keys);
    std::transform(keys.begin(), keys.end(), values.begin(), from_order_key);
}

}  // namespace tembrolin
