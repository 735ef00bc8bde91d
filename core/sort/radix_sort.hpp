#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tembrolin {

// Maps a double that is not NaN to an unsigned key with the same order
// (-0.0 just below +0.0), so doubles can be sorted by their bits.
inline std::uint64_t order_key(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

inline double from_order_key(std::uint64_t key) {
    const auto bits = (key >> 63) != 0 ? key & ~(std::uint64_t{1} << 63) : ~key;
    return std::bit_cast<double>(bits);
}

// Sorts keys ascending: a least-significant-digit radix sort, which beats a
// comparison sort on the millions of rows a binning call sees.
void radix_sort(std::vector<std::uint64_t>& keys);

// Sorts doubles ascending; none may be NaN.
void sort_doubles(std::vector<double>& values);

// The sort keys of a 0/1 sample split by class. Sorting each class on its own
// and merging them gives the order of a sort by (x, class) while the sort moves
// bare keys.
struct ClassKeys {
    std::vector<std::uint64_t> class0;
    std::vector<std::uint64_t> class1;

    void sort() {
        radix_sort(class0);
        radix_sort(class1);
    }
};

// Visits the sorted keys of both classes in ascending order of their values as
// visit(key, is_class1). Values are compared as doubles, so -0.0 and +0.0 tie,
// and on a tie class 0 goes first. Branch-free: the classes come in no
// predictable order.
template <class Visit>
void merge_classes(const ClassKeys& keys, Visit visit) {
    const std::vector<std::uint64_t>& a = keys.class0;
    const std::vector<std::uint64_t>& b = keys.class1;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool take0 = from_order_key(a[i]) <= from_order_key(b[j]);
        visit(take0 ? a[i] : b[j], !take0);
        i += take0 ? 1 : 0;
        j += take0 ? 0 : 1;
    }
    for (; i < a.size(); ++i) visit(a[i], false);
    for (; j < b.size(); ++j) visit(b[j], true);
}

}  // namespace tembrolin
