#pragma once

#include <cmath>
#include <cstdint>

#include "mdlp/params.hpp"
#include "types/cut_point_table.hpp"

namespace tembrolin {

// One segment of a cut-point table, between records L < R, with the counts of
// record L and the class counts inside the segment.
struct SegmentSpan {
    std::uint64_t L = 0;
    std::uint64_t R = 0;
    std::int64_t base_c0 = 0;
    std::int64_t base_c1 = 0;
    std::int64_t seg_c0 = 0;
    std::int64_t seg_c1 = 0;
};

// The best admissible cut of a segment and whether it pays for itself. All zero
// when no cut is admissible.
struct SegmentEvaluation {
    bool found = false;          // admissible and gain > cost
    bool has_candidate = false;  // some cut was admissible
    double pto = 0.0;
    double gain = 0.0;
    double cost_pos = 0.0;
    double cost_struct = 0.0;
    double cost = 0.0;
    std::uint64_t idx = 0;  // strictly between L and R
};

// Entropy in bits of a class-0 count a and a class-1 count b. Inline, as the
// segment scan calls it twice per candidate cut.
inline double binary_entropy(std::int64_t a, std::int64_t b) {
    // Counts from a caller's table may be absurd: the sum wraps in two's
    // complement instead of overflowing.
    const auto total =
        static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
    if (total == 0 || a == 0 || b == 0) return 0.0;
    const double n = static_cast<double>(total);
    const double p1 = static_cast<double>(b) / n;
    const double p0 = static_cast<double>(a) / n;
    // The class-1 term first, as the cost model states it.
    return -(p1 * std::log2(p1) + p0 * std::log2(p0));
}

// The counts of the segment (L, R); zero counts unless L < R < size.
SegmentSpan make_segment(const CutPointTable& table, std::uint64_t L, std::uint64_t R);

// How the candidates of a segment are scanned: `plain` evaluates each with the
// entropy formula; the others screen them first with vectors of that width
// (entropy_screen.hpp) and evaluate only the few that may win. Every width
// gives the same result bit for bit; `plain` is the reference.
enum class ScanWidth { plain, baseline, avx2, avx512 };

// The cut strictly inside the segment of lowest weighted entropy (lowest index
// on ties) among the admissible ones, with its MDLP gain and cost, scanned at
// the widest width of this machine. The table may hold any counts.
SegmentEvaluation evaluate_segment(const CutPointTable& table, const SegmentSpan& segment,
                                   const MdlpParams& params);

// The same at a given width, which must not exceed the machine's.
SegmentEvaluation evaluate_segment(const CutPointTable& table, const SegmentSpan& segment,
                                   const MdlpParams& params, ScanWidth width);

}  // namespace tembrolin
