#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tembrolin {

// One candidate cut with the class counts of every observation before it.
// pto_corte ("cut point") is the system's own name for the cut's value.
struct CutPoint {
    double pto_corte;
    std::int64_t c0;
    std::int64_t c1;
};

// Framed by a first record at the smallest x with zero counts and a last one at
// the largest x with the totals; the difference of two records' counts is the
// class count between their cuts.
using CutPointTable = std::vector<CutPoint>;

// Lists the places where both x and the class change between neighbours of a
// sample taken in the order given (meant to be clean and sorted by x).
CutPointTable compute_boundaries(std::span<const double> x, std::span<const std::int32_t> y);

}  // namespace tembrolin
