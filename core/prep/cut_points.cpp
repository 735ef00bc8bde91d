#include "prep/cut_points.hpp"

#include <cstddef>
#include <stdexcept>
#include <utility>

namespace tembrolin {
namespace {

// The runs a walk reads: single observations for a plain sample, longer runs
// for counted values.

// Every observation of a plain sample as a run of one.
auto observation_runs(std::span<const double> x, std::span<const std::int32_t> y) {
    return [x, y](std::size_t i) { return SampleRun{x[i], y[i], 1}; };
}

auto given_runs(std::span<const SampleRun> runs) {
    return [runs](std::size_t i) { return runs[i]; };
}

// Reads the n runs in order.
template <class Walk, class RunAt>
CutPointTable walk_runs(std::size_t n, RunAt run_at) {
    Walk walk(n);
    for (std::size_t i = 0; i < n; ++i) walk.add(run_at(i));
    return std::move(walk).finish();
}

template <class Walk, bool keep_merged>
CutPointTable merged_walk(const ClassKeys& keys, std::span<std::uint64_t> merged,
                          CutPointTable storage) {
    Walk walk(keys.class0().size() + keys.class1().size(), std::move(storage));
    std::uint64_t* out = merged.data();
    merge_classes(keys, [&](std::uint64_t key, bool is_class1) {
        walk.add({from_order_key(key), is_class1 ? 1 : 0, 1});
        if constexpr (keep_merged) *out++ = key;
    });
    return std::move(walk).finish();
}

template <class Walk>
CutPointTable merged_walk(const ClassKeys& keys, std::span<std::uint64_t> merged,
                          CutPointTable storage) {
    return merged.empty() ? merged_walk<Walk, false>(keys, merged, std::move(storage))
                          : merged_walk<Walk, true>(keys, merged, std::move(storage));
}

}  // namespace

CandidateRule parse_candidate_rule(std::string_view name) {
    if (name == "boundary") return CandidateRule::boundary;
    if (name == "neighbour") return CandidateRule::neighbour;
    throw std::invalid_argument("candidates debe ser 'boundary' o 'neighbour'");
}

CutPointTable compute_boundaries(std::span<const double> x, std::span<const std::int32_t> y) {
    return walk_runs<NeighbourWalk>(x.size(), observation_runs(x, y));
}

CutPointTable compute_group_boundaries(std::span<const double> x, std::span<const std::int32_t> y) {
    return walk_runs<GroupWalk>(x.size(), observation_runs(x, y));
}

CutPointTable candidate_cut_points(std::span<const double> x, std::span<const std::int32_t> y,
                                   CandidateRule rule) {
    return rule == CandidateRule::boundary ? compute_group_boundaries(x, y)
                                           : compute_boundaries(x, y);
}

CutPointTable candidate_cut_points(std::span<const SampleRun> runs, CandidateRule rule) {
    return rule == CandidateRule::boundary
               ? walk_runs<GroupWalk>(runs.size(), given_runs(runs))
               : walk_runs<NeighbourWalk>(runs.size(), given_runs(runs));
}

CutPointTable candidate_cut_points(const ClassKeys& keys, CandidateRule rule,
                                   std::span<std::uint64_t> merged, CutPointTable storage) {
    return rule == CandidateRule::boundary
               ? merged_walk<GroupWalk>(keys, merged, std::move(storage))
               : merged_walk<NeighbourWalk>(keys, merged, std::move(storage));
}

}  // namespace tembrolin
