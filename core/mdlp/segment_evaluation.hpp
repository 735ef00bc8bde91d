#pragma once

#include <cmath>
#include <cstdint>

#include "prep/cut_points.hpp"

namespace tembrolin {

// The MDLP search keeps the system's own short names: a segment lies between
// the records L < R of the cut-point table; N is its number of observations;
// H its entropy; a cut splits it into a left and a right side with entropies
// HL and HR, and w = (nR * HR + nL * HL) / N is the cut's weighted entropy.

// The accepted values of `monotonicity`. Modes 1 and 3 apply the event-rate rule
// (when `mono_dir` is not 0); mode 2 is accepted and carried for the callers that
// use it, and changes nothing here.
enum class MonotonicityMode : std::int32_t {
    none = 0,
    event_rate = 1,
    carried = 2,
    event_rate_too = 3,
};

// Parameters of the MDLP search.
struct MdlpParams {
    double alpha_pos = 1.0;     // weight of the position cost
    double beta_struct = 1.0;   // weight of the structure cost
    std::int64_t minobs = 0;    // each side of a cut needs strictly more observations
    std::int32_t mono_dir = 0;  // > 0 non-decreasing event rate, < 0 non-increasing, 0 no rule
    MonotonicityMode monotonicity = MonotonicityMode::none;
    bool force_first_split = false;
};

// Checks the `monotonicity` argument of every MDLP entry point.
MonotonicityMode validate_monotonicity(std::int32_t monotonicity);

// One segment of a cut-point table, between records L < R < size, with the
// counts of record L and the class counts inside the segment.
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

// A table may come from a caller with any int64 counts. Differences and sums
// wrap around in two's complement, so an absurd table gives a defined (if
// meaningless) result; on a real table nothing overflows and nothing changes.
inline std::int64_t wrapping_add(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

inline std::int64_t wrapping_sub(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}

// Entropy in bits of a class-0 count a and a class-1 count b. Inline, as the
// segment scan calls it twice per candidate cut.
inline double binary_entropy(std::int64_t a, std::int64_t b) {
    const std::int64_t total = wrapping_add(a, b);
    if (total == 0 || a == 0 || b == 0) return 0.0;
    const double n = static_cast<double>(total);
    const double p1 = static_cast<double>(b) / n;
    const double p0 = static_cast<double>(a) / n;
    // The class-1 term first, as the cost model states it.
    return -(p1 * std::log2(p1) + p0 * std::log2(p0));
}

// The counts of the segment (L, R); requires L < R < table.size().
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
