#pragma once

#include <cstdint>
#include <vector>

namespace tembrolin {

// One candidate cut with the class counts of every observation before it.
struct CutPoint {
    double pto_corte;
    std::int64_t c0;
    std::int64_t c1;
};

// Framed by a first record at the smallest x with zero counts and a last one at
// the largest x with the totals; the difference of two records' counts is the
// class count between their cuts.
using CutPointTable = std::vector<CutPoint>;

}  // namespace tembrolin
