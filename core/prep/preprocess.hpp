#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sort/radix_sort.hpp"

namespace tembrolin {

// How the raw observations were sorted into groups and the target binarised:
// what the one-call report returns as its metadata.
struct PreprocessingCounts {
    std::uint64_t n_input = 0;
    std::uint64_t n_used = 0;
    std::uint64_t n_missing_x = 0;
    std::uint64_t n_missing_y = 0;
    std::uint64_t n_missing_both = 0;
    std::uint64_t n_non_finite = 0;
    bool target_was_binary = true;
    double threshold = 0.0;
};

// The kept observations, sorted by x (class 0 first within equal x), with the
// class tally of the observations whose x is missing and the counts above.
struct PreprocessedSample {
    std::vector<double> x;
    std::vector<std::int32_t> y;
    std::uint64_t n_missing = 0;
    std::uint64_t missing_c0 = 0;
    std::uint64_t missing_c1 = 0;
    PreprocessingCounts counts;
};

// The kept observations as sorted keys of each class, not yet merged, with the
// class tally of the observations whose x is missing and the counts above: what
// a caller reads in order with merge_classes.
struct SortedClasses {
    ClassKeys keys;
    std::uint64_t n_missing = 0;
    std::uint64_t missing_c0 = 0;
    std::uint64_t missing_c1 = 0;
    PreprocessingCounts counts;
};

// Drops missing and infinite observations (counting them by kind), binarises a
// continuous target at `value` or at the `percentile` of the kept targets, and
// sorts the kept observations of each class by x, in `storage` (reset to x's size).
// The caller has checked that x and y have the same length.
SortedClasses sort_by_class(std::span<const double> x, std::span<const double> y,
                            std::optional<double> value, double percentile,
                            ClassKeys storage = ClassKeys{});

// Drops missing and infinite observations (counting them by kind), binarises a
// continuous target at `value` or at the `percentile` of the kept targets, and
// sorts the kept observations by x, class 0 first within equal x.
// The caller has checked that x and y have the same length.
PreprocessedSample preprocess_data(std::span<const double> x, std::span<const double> y,
                                   std::optional<double> value, double percentile);

}  // namespace tembrolin
