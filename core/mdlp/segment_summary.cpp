#include "mdlp/segment_summary.hpp"

#include <algorithm>
#include <cmath>
#include <compare>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <utility>

#include "mdlp/search.hpp"
#include "sort/order_statistics.hpp"
#include "sort/sorted_search.hpp"

namespace tembrolin {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

SegmentRow segment_row(double left, double right, std::int64_t c0, std::int64_t c1) {
    const std::int64_t total = c0 + c1;
    return {left, right, c0, c1, total, share(c1, total)};
}

// The accepted cut records in ascending order of their cut value. The total
// order of doubles keeps the sort well defined even when a caller's unsorted
// data put a NaN in the table; the index breaks ties so the order is repeatable.
std::vector<std::uint64_t> accepted_cuts_by_value(const std::vector<SegmentEvaluation>& evaluations,
                                                  const CutPointTable& table) {
    std::vector<std::uint64_t> cuts;
    for (const SegmentEvaluation& evaluation : evaluations) {
        if (evaluation.found) cuts.push_back(evaluation.idx);
    }
    std::sort(cuts.begin(), cuts.end(), [&table](std::uint64_t a, std::uint64_t b) {
        const auto order = std::strong_order(table[a].pto_corte, table[b].pto_corte);
        return order != 0 ? order < 0 : a < b;
    });
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    return cuts;
}

// The representative of a segment's x, already sorted: the mean adds them in
// ascending order from 0.0.
double segment_representative(std::span<const double> values, Representative representative) {
    return representative_value(
        representative, values.size(),
        [values] {
            double sum = 0.0;
            for (const double v : values) sum += v;
            return sum;
        },
        [values] { return value_at(values, median_position(values.size())); });
}

}  // namespace

MdlpResult mdlp_with_summary(std::span<const double> x, std::span<const std::int32_t> y,
                             const MdlpParams& params, CandidateRule candidates) {
    MdlpResult result;
    const CutPointTable table = candidate_cut_points(x, y, candidates);
    if (table.empty()) return result;
    result.evaluations = mdlp_search(table, params);

    const std::vector<std::uint64_t> cuts = accepted_cuts_by_value(result.evaluations, table);
    result.segments.reserve(cuts.size() + 1);
    CutPoint prev{-infinity, 0, 0};
    for (const std::uint64_t k : cuts) {
        const CutPoint& cut = table[k];
        result.segments.push_back(
            segment_row(prev.pto_corte, cut.pto_corte, cut.c0 - prev.c0, cut.c1 - prev.c1));
        prev = cut;
    }
    const CutPoint& last = table.back();
    result.segments.push_back(
        segment_row(prev.pto_corte, infinity, last.c0 - prev.c0, last.c1 - prev.c1));
    return result;
}

std::vector<BinarySummaryRow> fit_mdlp_full(const PreprocessedSample& sample,
                                            const MdlpResult& result,
                                            Representative representative) {
    const std::span<const double> x = sample.x;
    const std::size_t n = x.size();
    // Shares of the kept observations plus the missing bucket: all rows add up to 1.
    const std::uint64_t base = n + sample.n_missing;

    std::vector<BinarySummaryRow> rows;
    rows.reserve(result.segments.size() + (sample.n_missing > 0 ? 1 : 0));
    std::size_t pos = 0;
    for (const SegmentRow& segment : result.segments) {
        const std::size_t upper =
            std::isfinite(segment.right)
                ? pos + count_elements<Side::at_or_below>(x.subspan(pos), segment.right)
                : n;
        const std::size_t count = upper - pos;
        // Every cut lies in [lower, upper) of its two neighbours, so the table's
        // counts and the recount on x agree; a difference is a fault of ours.
        if (static_cast<std::int64_t>(count) != segment.total) {
            throw std::logic_error("fit_mdlp_full: el resumen no coincide con los segmentos MDLP");
        }
        rows.push_back({segment.left, segment.right, static_cast<std::int64_t>(count),
                        share<std::uint64_t>(count, base), segment.c0, segment.c1, segment.p1,
                        segment_representative(x.subspan(pos, count), representative)});
        pos = upper;
    }
    if (sample.n_missing > 0) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        rows.push_back({nan, nan, static_cast<std::int64_t>(sample.n_missing),
                        share(sample.n_missing, base), static_cast<std::int64_t>(sample.missing_c0),
                        static_cast<std::int64_t>(sample.missing_c1),
                        share(sample.missing_c1, sample.n_missing), nan});
    }
    return rows;
}

MdlpFullResult mdlp_full_raw_core(std::span<const double> x, std::span<const double> y,
                                  std::optional<double> value, double percentile,
                                  const MdlpParams& params, Representative representative,
                                  CandidateRule candidates) {
    const PreprocessedSample sample = preprocess_data(x, y, value, percentile);
    MdlpResult mdlp = mdlp_with_summary(sample.x, sample.y, params, candidates);
    std::vector<BinarySummaryRow> rows = fit_mdlp_full(sample, mdlp, representative);
    return {std::move(mdlp.evaluations), std::move(rows), sample.counts};
}

}  // namespace tembrolin
