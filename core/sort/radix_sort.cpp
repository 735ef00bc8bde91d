#include "sort/radix_sort.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <vector>

namespace tembrolin {
namespace {

constexpr int digit_bits = 8;
constexpr std::size_t digit_count = 64 / digit_bits;
constexpr std::size_t bucket_count = std::size_t{1} << digit_bits;
constexpr std::uint64_t digit_mask = bucket_count - 1;

// Below this size the histograms cost more than a comparison sort.
constexpr std::size_t small_input = 512;

// From this size on the keys and the scratch outgrow the caches and each pass
// of the sort by low digits goes to memory; one pass on the top bits first
// splits the keys into runs that each sort in cache. Below it that extra pass
// costs more than it saves.
constexpr std::size_t split_input = std::size_t{1} << 21;
constexpr int split_bits = 16;
constexpr std::size_t run_count = std::size_t{1} << split_bits;

std::size_t digit(std::uint64_t key, std::size_t pass) {
    return static_cast<std::size_t>((key >> (pass * digit_bits)) & digit_mask);
}

// Sorts by every digit, least significant first; needs at least one key.
void sort_by_low_digits(std::span<std::uint64_t> keys, std::span<std::uint64_t> scratch) {
    const std::size_t n = keys.size();
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

void sort_run(std::span<std::uint64_t> keys, std::span<std::uint64_t> scratch) {
    if (keys.size() < small_input) {
        std::sort(keys.begin(), keys.end());
    } else {
        sort_by_low_digits(keys, scratch);
    }
}

// Places the keys into the scratch by their top bits, sorts each run there
// (the top digits, shared within a run, cost no pass) and copies it back while
// it is still in cache.
void sort_by_top_bits_first(std::span<std::uint64_t> keys, std::span<std::uint64_t> scratch) {
    const auto run_of = [](std::uint64_t key) {
        return static_cast<std::size_t>(key >> (64 - split_bits));
    };
    std::vector<std::size_t> start(run_count + 1, 0);
    for (const std::uint64_t key : keys) ++start[run_of(key) + 1];
    for (std::size_t r = 1; r <= run_count; ++r) start[r] += start[r - 1];
    const std::size_t first_run = run_of(keys[0]);
    if (start[first_run + 1] - start[first_run] == keys.size()) {
        sort_by_low_digits(keys, scratch);  // one run: the split would move keys for nothing
        return;
    }
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    for (const std::uint64_t key : keys) scratch[next[run_of(key)]++] = key;
    for (std::size_t r = 0; r < run_count; ++r) {
        const std::size_t size = start[r + 1] - start[r];
        if (size == 0) continue;
        const std::span<std::uint64_t> run = scratch.subspan(start[r], size);
        sort_run(run, keys.subspan(start[r], size));
        std::copy(run.begin(), run.end(), keys.begin() + static_cast<std::ptrdiff_t>(start[r]));
    }
}

}  // namespace

void radix_sort(std::span<std::uint64_t> keys) {
    // Left uninitialised: every pass writes each element before reading it.
    const auto scratch = std::make_unique_for_overwrite<std::uint64_t[]>(keys.size());
    radix_sort(keys, {scratch.get(), keys.size()});
}

void radix_sort(std::span<std::uint64_t> keys, std::span<std::uint64_t> scratch) {
    if (keys.size() < split_input) {
        sort_run(keys, scratch);
    } else {
        sort_by_top_bits_first(keys, scratch);
    }
}

void sort_doubles(std::vector<double>& values) {
    std::vector<std::uint64_t> keys(values.size());
    std::transform(values.begin(), values.end(), keys.begin(), order_key);
    radix_sort(keys);
    std::transform(keys.begin(), keys.end(), values.begin(), from_order_key);
}

}  // namespace tembrolin
