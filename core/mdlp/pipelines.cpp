#include "mdlp/pipelines.hpp"

#include <utility>

#include "mdlp/search.hpp"
#include "prep/preprocess.hpp"

namespace tembrolin {

std::vector<SegmentEvaluation> mdlp_raw_core(std::span<const double> x, std::span<const double> y,
                                             std::optional<double> value, double percentile,
                                             const MdlpParams& params) {
    const PreprocessedSample sample = preprocess_data(x, y, value, percentile);
    return mdlp_core(sample.x, sample.y, params);
}

MdlpFullResult mdlp_full_raw_core(std::span<const double> x, std::span<const double> y,
                                  std::optional<double> value, double percentile,
                                  const MdlpParams& params, Representative representative,
                                  CandidateRule candidates) {
    const PreprocessedSample sample = preprocess_data(x, y, value, percentile);
    MdlpResult mdlp = mdlp_with_summary(sample.x, sample.y, params, candidates);
    MdlpFullResult result;
    result.rows = fit_mdlp_full(sample, mdlp, representative);
    result.evaluations = std::move(mdlp.evaluations);
    result.segments = std::move(mdlp.segments);
    result.n_input = sample.n_input;
    result.n_used = sample.n_used;
    result.n_missing_x = sample.n_missing_x;
    result.n_missing_y = sample.n_missing_y;
    result.n_missing_both = sample.n_missing_both;
    result.n_non_finite = sample.n_non_finite;
    result.target_was_binary = sample.target_was_binary;
    result.threshold = sample.threshold;
    return result;
}

}  // namespace tembrolin
