#pragma once

// The Python form of every record the module returns: its keys in their order,
// each with the field it holds and, where it differs from the field's type, the
// type of its array (int64 for indices) or scalar.

#include <cstdint>
#include <tuple>

#include "binning/bin_summaries.hpp"
#include "diagnostics/compare_distributions.hpp"
#include "diagnostics/lorenz_curve.hpp"
#include "glue.hpp"
#include "mdlp/segment_evaluation.hpp"
#include "mdlp/segment_summary.hpp"
#include "prep/cut_points.hpp"
#include "prep/preprocess.hpp"

namespace tembrolin::bindings {

inline constexpr std::tuple cut_point_form{
    key("pto_corte", &CutPoint::pto_corte),
    key("c0", &CutPoint::c0),
    key("c1", &CutPoint::c1),
};

// The evaluation table, and a single evaluation as scalars; has_candidate stays inside.
inline constexpr std::tuple evaluation_form{
    key("found", &SegmentEvaluation::found),
    key("pto", &SegmentEvaluation::pto),
    key("gain", &SegmentEvaluation::gain),
    key("cost_pos", &SegmentEvaluation::cost_pos),
    key("cost_struct", &SegmentEvaluation::cost_struct),
    key("cost", &SegmentEvaluation::cost),
    key<std::int64_t>("idx", &SegmentEvaluation::idx),
};

inline constexpr std::tuple segment_form{
    key("left", &SegmentRow::left), key("right", &SegmentRow::right), key("c0", &SegmentRow::c0),
    key("c1", &SegmentRow::c1),     key("total", &SegmentRow::total), key("p1", &SegmentRow::p1),
};

inline constexpr std::tuple counts_form{
    key("n_input", &PreprocessingCounts::n_input),
    key("n_used", &PreprocessingCounts::n_used),
    key("n_missing_x", &PreprocessingCounts::n_missing_x),
    key("n_missing_y", &PreprocessingCounts::n_missing_y),
    key("n_missing_both", &PreprocessingCounts::n_missing_both),
    key("n_non_finite", &PreprocessingCounts::n_non_finite),
    key("target_was_binary", &PreprocessingCounts::target_was_binary),
    key("threshold", &PreprocessingCounts::threshold),
};

inline constexpr std::tuple binary_summary_form{
    key("left", &BinarySummaryRow::left),
    key("right", &BinarySummaryRow::right),
    key("count", &BinarySummaryRow::count),
    key("percentage", &BinarySummaryRow::percentage),
    key("c0", &BinarySummaryRow::c0),
    key("c1", &BinarySummaryRow::c1),
    key("event_rate", &BinarySummaryRow::event_rate),
    key("representative", &BinarySummaryRow::representative),
};

inline constexpr std::tuple continuous_summary_form{
    key("left", &ContinuousSummaryRow::left),
    key("right", &ContinuousSummaryRow::right),
    key("count", &ContinuousSummaryRow::count),
    key("percentage", &ContinuousSummaryRow::percentage),
    key("representative", &ContinuousSummaryRow::representative),
    key("target_mean", &ContinuousSummaryRow::target_mean),
    key("target_p25", &ContinuousSummaryRow::target_p25),
    key("target_median", &ContinuousSummaryRow::target_median),
    key("target_p75", &ContinuousSummaryRow::target_p75),
};

inline constexpr std::tuple distribution_bin_form{
    key("count_reference", &DistributionBin::count_reference),
    key("count_current", &DistributionBin::count_current),
    key("proportion_reference", &DistributionBin::proportion_reference),
    key("proportion_current", &DistributionBin::proportion_current),
    key("cumulative_reference", &DistributionBin::cumulative_reference),
    key("cumulative_current", &DistributionBin::cumulative_current),
    key("psi_bin", &DistributionBin::psi_bin),
};

inline constexpr std::tuple lorenz_point_form{
    key("value", &LorenzPoint::value),
    key("cumulative_non_event", &LorenzPoint::cumulative_non_event),
    key("cumulative_event", &LorenzPoint::cumulative_event),
};

}  // namespace tembrolin::bindings
