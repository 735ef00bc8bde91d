#pragma once

#include <cstdint>
#include <span>
#include <string_view>
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

// `count` observations in a row of a sorted sample that share x and class.
struct SampleRun {
    double x;
    std::int32_t y;
    std::int64_t count;  // at least 1
};

// Which changes of x may carry a candidate cut.
enum class CandidateRule {
    neighbour,  // x and the class both change between neighbours (compute_boundaries)
    boundary,   // x changes between two groups that are not both pure in one class
};

// "boundary" or "neighbour", compared whole and case-sensitively.
CandidateRule parse_candidate_rule(std::string_view name);

// Lists the places where both x and the class change between neighbours of a
// sample taken in the order given (meant to be clean and sorted by x).
CutPointTable compute_boundaries(std::span<const double> x, std::span<const std::int32_t> y);

// Lists every change of x between two groups of equal x, in a sample taken in the
// order given, unless both groups hold a single class and it is the same one. The
// rule looks at class counts per group only, so swapping the class labels leaves the
// cuts where they are and only swaps c0 with c1.
CutPointTable compute_group_boundaries(std::span<const double> x, std::span<const std::int32_t> y);

// The cut points the rule offers.
CutPointTable candidate_cut_points(std::span<const double> x, std::span<const std::int32_t> y,
                                   CandidateRule rule);

// The same for a sample given in runs: the table of the sample the runs spell out.
CutPointTable candidate_cut_points(std::span<const SampleRun> runs, CandidateRule rule);

}  // namespace tembrolin
