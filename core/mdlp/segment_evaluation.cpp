#include "mdlp/segment_evaluation.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "mdlp/entropy_screen.hpp"

namespace tembrolin {
namespace {

// log2(3^2 - 2): the structure term of the two-class acceptance test.
constexpr double log2_of_7 = 2.807354922057604;

bool rate_rule_active(const MdlpParams& params) {
    return (params.monotonicity == MonotonicityMode::event_rate ||
            params.monotonicity == MonotonicityMode::event_rate_too) &&
           params.mono_dir != 0;
}

// An empty side has the rate 0/0 = NaN, which fails every comparison and so the rule.
bool rates_in_direction(std::int64_t l1, std::int64_t nL, std::int64_t r1, std::int64_t nR,
                        std::int32_t mono_dir) {
    const double rate_left = static_cast<double>(l1) / static_cast<double>(nL);
    const double rate_right = static_cast<double>(r1) / static_cast<double>(nR);
    return mono_dir > 0 ? rate_right >= rate_left : rate_left >= rate_right;
}

}  // namespace

MonotonicityMode validate_monotonicity(std::int32_t monotonicity) {
    if (monotonicity < 0 || monotonicity > 3) {
        throw std::invalid_argument("monotonicity debe estar en 0..3");
    }
    return static_cast<MonotonicityMode>(monotonicity);
}

SegmentSpan make_segment(const CutPointTable& table, std::uint64_t L, std::uint64_t R) {
    return {L,
            R,
            table[L].c0,
            table[L].c1,
            wrapping_sub(table[R].c0, table[L].c0),
            wrapping_sub(table[R].c1, table[L].c1)};
}

SegmentEvaluation evaluate_segment(const CutPointTable& table, const SegmentSpan& segment,
                                   const MdlpParams& params) {
    static const ScanWidth widest = widest_scan_width();
    return evaluate_segment(table, segment, params, widest);
}

SegmentEvaluation evaluate_segment(const CutPointTable& table, const SegmentSpan& segment,
                                   const MdlpParams& params, ScanWidth width) {
    SegmentEvaluation result;
    const std::uint64_t L = segment.L;
    const std::uint64_t R = segment.R;
    const std::int64_t N = wrapping_add(segment.seg_c0, segment.seg_c1);
    if (N <= 1) return result;

    const double n = static_cast<double>(N);
    const double H = binary_entropy(segment.seg_c0, segment.seg_c1);
    const double cost_pos = std::log2(n - 1.0) / n;
    const bool rule = rate_rule_active(params);
    const std::int64_t minobs = params.minobs;

    double best = std::numeric_limits<double>::infinity();
    std::uint64_t best_idx = 0;
    double best_HL = 0.0;
    double best_HR = 0.0;
    const CutPoint* records = table.data();
    const auto consider = [&](std::uint64_t i) {
        const std::int64_t l0 = wrapping_sub(records[i].c0, segment.base_c0);
        const std::int64_t l1 = wrapping_sub(records[i].c1, segment.base_c1);
        const std::int64_t nL = wrapping_add(l0, l1);
        if (nL <= minobs) return;
        const std::int64_t r0 = wrapping_sub(segment.seg_c0, l0);
        const std::int64_t r1 = wrapping_sub(segment.seg_c1, l1);
        const std::int64_t nR = wrapping_add(r0, r1);
        if (nR <= minobs) return;
        // Checked before the entropies, which do not depend on it: a cut that
        // breaks the rule costs no logarithm.
        if (rule && !rates_in_direction(l1, nL, r1, nR, params.mono_dir)) return;
        const double HL = binary_entropy(l0, l1);
        const double HR = binary_entropy(r0, r1);
        const double w = (static_cast<double>(nR) * HR + static_cast<double>(nL) * HL) / n;
        // Strict: among equal weighted entropies the lowest index stays.
        if (w < best) {
            best = w;
            best_idx = i;
            best_HL = HL;
            best_HR = HR;
        }
    };
    // The screen passes on the exact evaluation only the cuts that may win, in
    // ascending order, so the lowest index still wins a tie.
    std::vector<std::uint64_t> candidates;
    if (width != ScanWidth::plain && screen_segment(table, segment, params, width, candidates)) {
        for (const std::uint64_t i : candidates) consider(i);
    } else {
        for (std::uint64_t i = L + 1; i < R; ++i) consider(i);
    }
    if (!std::isfinite(best)) return result;

    // The fields of the best cut, from the same values the loop compared.
    result.has_candidate = true;
    result.idx = best_idx;
    result.pto = records[best_idx].pto_corte;
    result.gain = H - best;
    result.cost_pos = cost_pos;
    result.cost_struct = (log2_of_7 - 2.0 * ((H - best_HL) - best_HR)) / n;
    result.cost = result.cost_struct * params.beta_struct + result.cost_pos * params.alpha_pos;
    result.found = result.gain > result.cost;
    return result;
}

}  // namespace tembrolin
