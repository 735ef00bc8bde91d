#pragma once

#include <cstdint>
#include <vector>

namespace tembrolin {

// The kept observations, sorted by x (class 0 first within equal x), with the
// tallies of what was dropped and how the target was binarised.
struct PreprocessedSample {
    std::vector<double> x;
    std::vector<std::int32_t> y;
    std::uint64_t n_missing = 0;
    std::uint64_t missing_c0 = 0;
    std::uint64_t missing_c1 = 0;
    std::uint64_t n_input = 0;
    std::uint64_t n_used = 0;
    std::uint64_t n_missing_x = 0;
    std::uint64_t n_missing_y = 0;
    std::uint64_t n_missing_both = 0;
    std::uint64_t n_non_finite = 0;
    bool target_was_binary = true;
    double threshold = 0.0;
};

}  // namespace tembrolin
