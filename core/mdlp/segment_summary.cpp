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
#include "sort/radix_sort.hpp"

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

// The sorted x of a sample held as the order keys of its values, in the order
// of the merge of the classes (where -0.0 and +0.0 tie, in either order).
struct KeySample {
    std::span<const std::uint64_t> keys;

    std::size_t size() const { return keys.size(); }
    // The first position at or after pos whose x is greater than v.
    std::size_t upper(std::size_t pos, double v) const {
        const auto rest = keys.subspan(pos);
        const auto first_above = std::partition_point(
            rest.begin(), rest.end(), [v](std::uint64_t key) { return from_order_key(key) <= v; });
        return pos + static_cast<std::size_t>(first_above - rest.begin());
    }
    double at(std::size_t i) const { return from_order_key(keys[i]); }
    // Adds x[pos] .. x[pos + count - 1] in ascending order from 0.0.
    double sum(std::size_t pos, std::size_t count) const {
        double total = 0.0;
        for (const std::uint64_t key : keys.subspan(pos, count)) total += from_order_key(key);
        return total;
    }
};

// The same sample spelled out by runs, positions counted in observations.
class RunSample {
  public:
    explicit RunSample(std::span<const SampleRun> runs)
        : x_(runs.size()), counts_(runs.size()), sequence_(init(runs)) {}
    RunSample(const RunSample&) = delete;  // the sequence points into x_
    RunSample& operator=(const RunSample&) = delete;

    std::size_t size() const { return sequence_.size(); }
    std::size_t upper(std::size_t pos, double v) const {
        // The first run with x above v starts there; runs are ascending in x.
        const auto k =
            static_cast<std::size_t>(std::upper_bound(x_.begin(), x_.end(), v) - x_.begin());
        return std::max(pos, k == 0 ? 0 : sequence_.ends()[k - 1]);
    }
    double at(std::size_t i) const { return sequence_.at(i); }
    double sum(std::size_t pos, std::size_t count) const {
        double total = 0.0;
        if (count == 0) return total;
        std::size_t i = pos;
        for (std::size_t k = sequence_.run_of(pos); i < pos + count; ++k) {
            for (const std::size_t end = std::min(sequence_.ends()[k], pos + count); i < end; ++i) {
                total += x_[k];
            }
        }
        return total;
    }

  private:
    CountedSequence init(std::span<const SampleRun> runs) {
        for (std::size_t k = 0; k < runs.size(); ++k) {
            x_[k] = runs[k].x;
            counts_[k] = static_cast<std::uint64_t>(runs[k].count);
        }
        return {x_, counts_};
    }
    std::vector<double> x_;
    std::vector<std::uint64_t> counts_;
    CountedSequence sequence_;
};

// Recounts each segment on the sorted sample, adds its share and representative
// value, and appends the row of the missing bucket.
template <class Sample>
std::vector<BinarySummaryRow> report_rows(const Sample& x, const MdlpResult& result,
                                          std::uint64_t missing_c0, std::uint64_t missing_c1,
                                          Representative representative) {
    const std::size_t n = x.size();
    const std::uint64_t n_missing = missing_c0 + missing_c1;
    // Shares of the kept observations plus the missing bucket: all rows add up to 1.
    const std::uint64_t base = n + n_missing;

    std::vector<BinarySummaryRow> rows;
    rows.reserve(result.segments.size() + (n_missing > 0 ? 1 : 0));
    std::size_t pos = 0;
    for (const SegmentRow& segment : result.segments) {
        const std::size_t upper = std::isfinite(segment.right) ? x.upper(pos, segment.right) : n;
        const std::size_t count = upper - pos;
        // Every cut lies in [lower, upper) of its two neighbours, so the table's
        // counts and the recount on x agree; a difference is a fault of ours.
        if (static_cast<std::int64_t>(count) != segment.total) {
            throw std::logic_error("fit_mdlp_full: el resumen no coincide con los segmentos MDLP");
        }
        const double value = representative_value(
            representative, count, [&] { return x.sum(pos, count); },
            [&] {
                const QuantilePosition p = median_position(count);
                return interpolate(x.at(pos + p.lower_index), x.at(pos + p.upper_index),
                                   p.fraction);
            });
        rows.push_back({segment.left, segment.right, static_cast<std::int64_t>(count),
                        share<std::uint64_t>(count, base), segment.c0, segment.c1, segment.p1,
                        value});
        pos = upper;
    }
    if (n_missing > 0) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        rows.push_back({nan, nan, static_cast<std::int64_t>(n_missing), share(n_missing, base),
                        static_cast<std::int64_t>(missing_c0),
                        static_cast<std::int64_t>(missing_c1), share(missing_c1, n_missing), nan});
    }
    return rows;
}

}  // namespace

MdlpResult mdlp_on_table(const CutPointTable& table, const MdlpParams& params) {
    MdlpResult result;
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

MdlpResult mdlp_with_summary(std::span<const double> x, std::span<const std::int32_t> y,
                             const MdlpParams& params, CandidateRule candidates) {
    return mdlp_on_table(candidate_cut_points(x, y, candidates), params);
}

MdlpFullResult mdlp_full_raw_core(std::span<const double> x, std::span<const double> y,
                                  std::optional<double> value, double percentile,
                                  const MdlpParams& params, Representative representative,
                                  CandidateRule candidates) {
    MdlpWorkspace workspace;
    return mdlp_full_raw_core(x, y, value, percentile, params, representative, candidates,
                              workspace);
}

MdlpFullResult mdlp_full_raw_core(std::span<const double> x, std::span<const double> y,
                                  std::optional<double> value, double percentile,
                                  const MdlpParams& params, Representative representative,
                                  CandidateRule candidates, MdlpWorkspace& workspace) {
    // The workspace's buffers are borrowed for the call and handed back at its end; if
    // the call throws, the workspace is left empty and allocates afresh next time.
    SortedClasses sorted = sort_by_class(x, y, value, percentile, std::move(workspace.keys));
    // The merged sample goes to the sort's scratch, free again and already paid for.
    const std::span<std::uint64_t> merged = sorted.keys.scratch().first(sorted.counts.n_used);
    CutPointTable table =
        candidate_cut_points(sorted.keys, candidates, merged, std::move(workspace.table));
    MdlpResult mdlp = mdlp_on_table(table, params);
    std::vector<BinarySummaryRow> rows =
        report_rows(KeySample{merged}, mdlp, sorted.missing_c0, sorted.missing_c1, representative);
    workspace.keys = std::move(sorted.keys);
    workspace.table = std::move(table);
    return {std::move(mdlp.evaluations), std::move(rows), sorted.counts};
}

MdlpFullResult mdlp_full_from_counts(const CountsView& counts, const MdlpParams& params,
                                     Representative representative, CandidateRule candidates) {
    const std::vector<SampleRun> runs = sample_runs(counts);
    MdlpFullResult out;
    PreprocessingCounts& meta = out.counts;
    for (std::size_t i = 0; i < counts.values.size(); ++i) {
        const auto here = static_cast<std::uint64_t>(counts.c0[i] + counts.c1[i]);
        (std::isfinite(counts.values[i]) ? meta.n_used : meta.n_non_finite) += here;
    }
    const auto missing_c0 = static_cast<std::uint64_t>(counts.missing_c0);
    const auto missing_c1 = static_cast<std::uint64_t>(counts.missing_c1);
    meta.n_missing_x = missing_c0 + missing_c1;
    meta.n_input = meta.n_used + meta.n_non_finite + meta.n_missing_x;

    MdlpResult mdlp = mdlp_on_table(candidate_cut_points(runs, candidates), params);
    out.rows = report_rows(RunSample{runs}, mdlp, missing_c0, missing_c1, representative);
    out.evaluations = std::move(mdlp.evaluations);
    return out;
}

}  // namespace tembrolin
