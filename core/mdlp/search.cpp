#include "mdlp/search.hpp"

#include <utility>

#include "prep/preprocess.hpp"

namespace tembrolin {

std::vector<SegmentEvaluation> mdlp_search(const CutPointTable& table, const MdlpParams& params) {
    std::vector<SegmentEvaluation> evaluations;
    if (table.size() < 2) return evaluations;

    // An explicit stack: the depth of the tree of cuts is bounded by memory,
    // not by the call stack.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pending{{0, table.size() - 1}};
    while (!pending.empty()) {
        const auto [L, R] = pending.back();
        pending.pop_back();
        if (R <= L + 1) continue;  // no record strictly inside
        const SegmentEvaluation evaluation =
            evaluate_segment(table, make_segment(table, L, R), params);
        evaluations.push_back(evaluation);
        if (evaluation.found) {
            // Right part pushed first, so the left part is examined next.
            pending.emplace_back(evaluation.idx, R);
            pending.emplace_back(L, evaluation.idx);
        }
    }

    // A rejected root that had a candidate may be forced; its sides are not searched.
    if (params.force_first_split && evaluations.size() == 1 && evaluations[0].has_candidate &&
        !evaluations[0].found) {
        evaluations[0].found = true;
    }
    return evaluations;
}

std::vector<SegmentEvaluation> mdlp_core(std::span<const double> x, std::span<const std::int32_t> y,
                                         const MdlpParams& params) {
    return mdlp_search(compute_boundaries(x, y), params);
}

std::vector<SegmentEvaluation> mdlp_raw_core(std::span<const double> x, std::span<const double> y,
                                             std::optional<double> value, double percentile,
                                             const MdlpParams& params) {
    const SortedClasses sorted = sort_by_class(x, y, value, percentile);
    return mdlp_search(candidate_cut_points(sorted.keys, CandidateRule::neighbour, {}), params);
}

}  // namespace tembrolin
