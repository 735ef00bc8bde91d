#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
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
// comparison sort on the millions of rows a binning call sees; inputs larger
// than the caches are first split by their top bits into runs sorted in cache.
void radix_sort(std::span<std::uint64_t> keys);

// The same with caller storage of at least keys.size() elements, which a caller
// sorting several arrays can share among them; its contents are lost.
void radix_sort(std::span<std::uint64_t> keys, std::span<std::uint64_t> scratch);

// Sorts doubles ascending; none may be NaN.
void sort_doubles(std::vector<double>& values);

// The sort keys of a 0/1 sample split by class. Sorting each class on its own
// and merging them gives the order of a sort by (x, class) while the sort moves
// bare keys. One buffer holds both: class 0 fills it from the front and class 1
// from the back, so placing a key needs no branch on its class, which comes in
// no predictable order. The second half of the allocation is the scratch both
// sorts share. All of it is left uninitialised: each fresh page costs a fault,
// and only the pages touched are paid for.
class ClassKeys {
  public:
    // Room for `capacity` keys in all.
    explicit ClassKeys(std::size_t capacity = 0)
        : buffer_(std::make_unique_for_overwrite<std::uint64_t[]>(2 * capacity)),
          allocated_(capacity),
          capacity_(capacity),
          back_(capacity) {}

    // Room for `capacity` keys, none held. The allocation is kept when it is large
    // enough, so a caller sorting many samples in turn touches pages already faulted
    // in; a moved-from object (no buffer) allocates afresh.
    void reset(std::size_t capacity) {
        if (!buffer_ || capacity > allocated_) {
            buffer_ = std::make_unique_for_overwrite<std::uint64_t[]>(2 * capacity);
            allocated_ = capacity;
        }
        capacity_ = capacity;
        clear();
    }

    // Writes the key at both ends and moves only its class's end; while fewer
    // than `capacity` keys are held, front < back, so both writes are in bounds.
    void add(std::uint64_t key, unsigned is_class1) {
        buffer_[front_] = key;
        buffer_[back_ - 1] = key;
        front_ += 1 - is_class1;
        back_ -= is_class1;
    }

    void clear() {
        front_ = 0;
        back_ = capacity_;
    }

    std::span<const std::uint64_t> class0() const { return {buffer_.get(), front_}; }
    std::span<const std::uint64_t> class1() const {
        return {buffer_.get() + back_, capacity_ - back_};
    }

    // The second half of the allocation, free again once the keys are sorted.
    std::span<std::uint64_t> scratch() { return {buffer_.get() + capacity_, capacity_}; }

    void sort() {
        const std::span<std::uint64_t> scratch(buffer_.get() + capacity_, capacity_);
        radix_sort({buffer_.get(), front_}, scratch);
        radix_sort({buffer_.get() + back_, capacity_ - back_}, scratch);
    }

  private:
    std::unique_ptr<std::uint64_t[]> buffer_;
    std::size_t allocated_;  // keys the buffer has room for; its scratch starts at capacity_
    std::size_t capacity_;
    std::size_t front_ = 0;  // class 0 in [0, front_)
    std::size_t back_;       // class 1 in [back_, capacity_)
};

// Visits the sorted keys of both classes in ascending order of their values as
// visit(key, is_class1). Values compare as doubles, so -0.0 and +0.0 tie, and on
// a tie class 0 goes first. Branch-free: the classes come in no predictable order.
template <class Visit>
void merge_classes(const ClassKeys& keys, Visit visit) {
    // Keys order as their values but for the one pair that ties: -0.0 sits just
    // below +0.0. A class-0 +0.0 is compared as -0.0, so it goes first on that
    // tie too, and the merge compares integers only.
    constexpr std::uint64_t positive_zero_key = std::uint64_t{1} << 63;
    const std::span<const std::uint64_t> a = keys.class0();
    const std::span<const std::uint64_t> b = keys.class1();
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const std::uint64_t key0 = a[i];
        const bool take0 = key0 - (key0 == positive_zero_key ? 1 : 0) <= b[j];
        visit(take0 ? key0 : b[j], !take0);
        i += take0 ? 1 : 0;
        j += take0 ? 0 : 1;
    }
    for (; i < a.size(); ++i) visit(a[i], false);
    for (; j < b.size(); ++j) visit(b[j], true);
}

}  // namespace tembrolin
