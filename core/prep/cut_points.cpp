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

}  // namespace

CandidateRule parse_candidate_rule(std::string_view name) {
    if (name == "boundary") return CandidateRule::boundary;
    if (name == "neighbour") return CandidateRule::neighbour;
    throw std::invalid_argument("candidates debe ser 'boundary' o 'neighbour'");
}

CutPointTable compute_boundaries(std::span<const double> x, std::span<const std::int32_t> y) {
    const std::size_t n = x.size();
    CutPointTable table;
    if (n == 0) return table;
    table.reserve(n);
    table.push_back({x[0], 0, 0});
    std::int64_t c0 = y[0] == 0 ? 1 : 0;
    std::int64_t c1 = 1 - c0;
    double prev_x = x[0];
    std::int32_t prev_y = y[0];
    for (std::size_t i = 1; i < n; ++i) {
        // An ordinary inequality: a NaN always differs.
        if (x[i] != prev_x && y[i] != prev_y) {
            table.push_back({cut_between(prev_x, x[i]), c0, c1});
        }
        if (y[i] == 0) {
            ++c0;
        } else {
            ++c1;
        }
        prev_x = x[i];
        prev_y = y[i];
    }
    table.push_back({x[n - 1], c0, c1});
    return table;
}

CutPointTable compute_group_boundaries(std::span<const double> x, std::span<const std::int32_t> y) {
    const std::size_t n = x.size();
    CutPointTable table;
    if (n == 0) return table;
    table.push_back({x[0], 0, 0});
    // The group being read, the one before it, and the counts of everything
    // before the group being read. The cut in front of a group is decided once
    // the group ends, when its classes are known.
    double group_x = x[0];
    std::int64_t group_c0 = 0;
    std::int64_t group_c1 = 0;
    double prev_x = x[0];
    std::int64_t prev_c0 = 0;
    std::int64_t prev_c1 = 0;
    std::int64_t c0 = 0;
    std::int64_t c1 = 0;
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
        // An ordinary inequality: a NaN always starts a group of its own.
        if (i > 0 && x[i] != group_x) {
            close_group();
            group_x = x[i];
            group_c0 = 0;
            group_c1 = 0;
        }
        if (y[i] == 0) {
            ++group_c0;
        } else {
            ++group_c1;
        }
    }
    close_group();
    table.push_back({x[n - 1], c0, c1});
    return table;
}

CutPointTable candidate_cut_points(std::span<const double> x, std::span<const std::int32_t> y,
                                   CandidateRule rule) {
    return rule == CandidateRule::boundary ? compute_group_boundaries(x, y)
                                           : compute_boundaries(x, y);
}

}  // namespace tembrolin
