#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "sort/radix_sort.hpp"

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

// The midpoint of two neighbours. Between adjacent doubles it may round up to
// the upper value, and between huge values it may overflow; the cut must still
// keep the lower value on its left and the upper value on its right.
inline double cut_between(double lower, double upper) {
    const double mid = (upper + lower) * 0.5;
    if (!(lower < upper) || (lower <= mid && mid < upper)) return mid;
    const double halves = upper * 0.5 + lower * 0.5;
    if (lower <= halves && halves < upper) return halves;
    return lower;
}

// The table of compute_boundaries built as the sample is read, one run at a time
// in the order given, so that a caller producing the sample in order (the merge
// of the sorted classes) needs no copy of it. Nothing changes inside a run, so a
// run adds its count where an observation adds one.
class NeighbourWalk {
  public:
    // `capacity`: the number of runs to come, an upper bound of the table's size.
    // `storage`: a table whose allocation is reused, its records dropped.
    explicit NeighbourWalk(std::size_t capacity, CutPointTable storage = {})
        : table_(std::move(storage)) {
        table_.clear();
        table_.reserve(capacity);
    }

    void add(const SampleRun& run) {
        if (table_.empty()) {
            table_.push_back({run.x, 0, 0});
        } else if (run.x != prev_x_ && run.y != prev_y_) {
            // An ordinary inequality: a NaN always differs.
            table_.push_back({cut_between(prev_x_, run.x), c0_, c1_});
        }
        (run.y == 0 ? c0_ : c1_) += run.count;
        prev_x_ = run.x;
        prev_y_ = run.y;
    }

    // Nothing for an empty sample, else the table closed by the totals at the last x.
    CutPointTable finish() && {
        if (!table_.empty()) table_.push_back({prev_x_, c0_, c1_});
        return std::move(table_);
    }

  private:
    CutPointTable table_;
    double prev_x_ = 0.0;
    std::int32_t prev_y_ = 0;
    std::int64_t c0_ = 0;
    std::int64_t c1_ = 0;
};

// The table of compute_group_boundaries, built the same way.
class GroupWalk {
  public:
    explicit GroupWalk(std::size_t capacity, CutPointTable storage = {})
        : table_(std::move(storage)) {
        table_.clear();
        table_.reserve(capacity);
    }

    // Inlined into the merge that walks every row, where a call per row costs more
    // than the work of most rows.
    [[gnu::always_inline]] void add(const SampleRun& run) {
        if (table_.empty()) {
            table_.push_back({run.x, 0, 0});
            group_x_ = run.x;
            prev_x_ = run.x;
        } else if (run.x != group_x_) {
            // An ordinary inequality: a NaN always starts a group of its own.
            close_group();
            group_x_ = run.x;
            group_c0_ = 0;
            group_c1_ = 0;
        }
        (run.y == 0 ? group_c0_ : group_c1_) += run.count;
        last_x_ = run.x;
    }

    CutPointTable finish() && {
        if (table_.empty()) return {};
        close_group();
        table_.push_back({last_x_, c0_, c1_});
        return std::move(table_);
    }

  private:
    // The cut in front of a group is decided once the group ends, when its
    // classes are known; the first group (nothing counted before it) has none.
    // Two groups that each hold one class, the same one, cannot be told apart.
    void close_group() {
        const bool same_pure_class =
            (prev_c1_ == 0 && group_c1_ == 0) || (prev_c0_ == 0 && group_c0_ == 0);
        if (c0_ + c1_ > 0 && !same_pure_class) {
            table_.push_back({cut_between(prev_x_, group_x_), c0_, c1_});
        }
        prev_x_ = group_x_;
        prev_c0_ = group_c0_;
        prev_c1_ = group_c1_;
        c0_ += group_c0_;
        c1_ += group_c1_;
    }

    CutPointTable table_;
    // The group being read, the one before it, and the counts of everything
    // before the group being read.
    double group_x_ = 0.0;
    std::int64_t group_c0_ = 0;
    std::int64_t group_c1_ = 0;
    double prev_x_ = 0.0;
    std::int64_t prev_c0_ = 0;
    std::int64_t prev_c1_ = 0;
    std::int64_t c0_ = 0;
    std::int64_t c1_ = 0;
    double last_x_ = 0.0;
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

// The same for the sample that merge_classes spells out of sorted class keys,
// built during the merge with no copy of the sample. When `merged` is not empty
// (room for every key) it receives the keys in the merged order. The table is built
// in `storage`, whose allocation a caller building many tables in turn passes back.
CutPointTable candidate_cut_points(const ClassKeys& keys, CandidateRule rule,
                                   std::span<std::uint64_t> merged, CutPointTable storage = {});

}  // namespace tembrolin
