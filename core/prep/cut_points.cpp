#include "prep/cut_points.hpp"

#include <cstddef>
#include <stdexcept>

namespace tembrolin {
namespace {

// The midpoint of two neighbours. Between adjacent doubles it may round up to
// the upper value, and between huge values it may overflow; the cut must still
// keep the lower value on its left and the upper value on its right.
double cut_between(double lower, double upper) {
    const double mid = (upper + lower) * 0.5;
    if (!(lower < upper) || (lower <= mid && mid < upper)) return mid;
    const double halves = upper * 0.5 + lower * 0.5;
    if (lower <= halves && halves < upper) return halves;
    return lower;
}

// Two groups that each hold one class, the same one, cannot be told apart by a cut.
bool pure_in_same_class(std::int64_t a0, std::int64_t a1, std::int64_t b0, std::int64_t b1) {
    return (a1 == 0 && b1 == 0) || (a0 == 0 && b0 == 0);
}

// The walks below read the sample in runs of observations that share x and class:
// single observations for a plain sample, longer runs for counted values. Nothing
// changes inside a run, so a run adds its count where an observation adds one.

// Every observation of a plain sample as a run of one.
auto observation_runs(std::span<const double> x, std::span<const std::int32_t> y) {
    return [x, y](std::size_t i) { return SampleRun{x[i], y[i], 1}; };
}

auto given_runs(std::span<const SampleRun> runs) {
    return [runs](std::size_t i) { return runs[i]; };
}

template <class RunAt>
CutPointTable neighbour_walk(std::size_t n, RunAt run_at) {
    CutPointTable table;
    if (n == 0) return table;
    table.reserve(n);
    SampleRun prev = run_at(0);
    table.push_back({prev.x, 0, 0});
    std::int64_t c0 = prev.y == 0 ? prev.count : 0;
    std::int64_t c1 = prev.y == 0 ? 0 : prev.count;
    for (std::size_t i = 1; i < n; ++i) {
        const SampleRun run = run_at(i);
        // An ordinary inequality: a NaN always differs.
        if (run.x != prev.x && run.y != prev.y) {
            table.push_back({cut_between(prev.x, run.x), c0, c1});
        }
        if (run.y == 0) {
            c0 += run.count;
        } else {
            c1 += run.count;
        }
        prev = run;
    }
    table.push_back({prev.x, c0, c1});
    return table;
}

template <class RunAt>
CutPointTable group_walk(std::size_t n, RunAt run_at) {
    CutPointTable table;
    if (n == 0) return table;
    const double first_x = run_at(0).x;
    table.push_back({first_x, 0, 0});
    // The group being read, the one before it, and the counts of everything
    // before the group being read. The cut in front of a group is decided once
    // the group ends, when its classes are known.
    double group_x = first_x;
    std::int64_t group_c0 = 0;
    std::int64_t group_c1 = 0;
    double prev_x = first_x;
    std::int64_t prev_c0 = 0;
    std::int64_t prev_c1 = 0;
    std::int64_t c0 = 0;
    std::int64_t c1 = 0;
    double last_x = first_x;
    auto close_group = [&] {
        // The first group (nothing counted before it) has no cut in front.
        if (c0 + c1 > 0 && !pure_in_same_class(prev_c0, prev_c1, group_c0, group_c1)) {
            table.push_back({cut_between(prev_x, group_x), c0, c1});
        }
        prev_x = group_x;
        prev_c0 = group_c0;
        prev_c1 = group_c1;
        c0 += group_c0;
        c1 += group_c1;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const SampleRun run = run_at(i);
        // An ordinary inequality: a NaN always starts a group of its own.
        if (i > 0 && run.x != group_x) {
            close_group();
            group_x = run.x;
            group_c0 = 0;
            group_c1 = 0;
        }
        if (run.y == 0) {
            group_c0 += run.count;
        } else {
            group_c1 += run.count;
        }
        last_x = run.x;
    }
    close_group();
    table.push_back({last_x, c0, c1});
    return table;
}

}  // namespace

CandidateRule parse_candidate_rule(std::string_view name) {
    if (name == "boundary") return CandidateRule::boundary;
    if (name == "neighbour") return CandidateRule::neighbour;
    throw std::invalid_argument("candidates debe ser 'boundary' o 'neighbour'");
}

CutPointTable compute_boundaries(std::span<const double> x, std::span<const std::int32_t> y) {
    return neighbour_walk(x.size(), observation_runs(x, y));
}

CutPointTable compute_group_boundaries(std::span<const double> x, std::span<const std::int32_t> y) {
    return group_walk(x.size(), observation_runs(x, y));
}

CutPointTable candidate_cut_points(std::span<const double> x, std::span<const std::int32_t> y,
                                   CandidateRule rule) {
    return rule == CandidateRule::boundary ? compute_group_boundaries(x, y)
                                           : compute_boundaries(x, y);
}

CutPointTable candidate_cut_points(std::span<const SampleRun> runs, CandidateRule rule) {
    return rule == CandidateRule::boundary ? group_walk(runs.size(), given_runs(runs))
                                           : neighbour_walk(runs.size(), given_runs(runs));
}

}  // namespace tembrolin
