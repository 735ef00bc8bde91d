// Compares the screened segment scan, at every vector width this machine runs,
// with the plain scan on random tables rich in exact and near ties. Prints one
// line per family and exits with 1 at the first difference.
//
//     screen_check [seed] [tables per family]

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "mdlp/entropy_screen.hpp"
#include "mdlp/segment_evaluation.hpp"

namespace {

using tembrolin::CutPointTable;
using tembrolin::MdlpParams;
using tembrolin::MonotonicityMode;
using tembrolin::ScanWidth;
using tembrolin::SegmentEvaluation;

using Rng = std::mt19937_64;
using Steps = std::vector<std::pair<std::int64_t, std::int64_t>>;

std::int64_t uniform(Rng& rng, std::int64_t lo, std::int64_t hi) {
    return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
}

CutPointTable cumulative(const Steps& steps) {
    CutPointTable table{{0.0, 0, 0}};
    std::int64_t c0 = 0, c1 = 0;
    for (const auto& [a, b] : steps) {
        c0 += a;
        c1 += b;
        table.push_back({static_cast<double>(table.size()), c0, c1});
    }
    return table;
}

// Counts that rise at random, with runs of pure class records.
Steps random_steps(Rng& rng, std::size_t size, std::int64_t top) {
    Steps steps;
    for (std::size_t i = 0; i < size; ++i) {
        const std::int64_t kind = uniform(rng, 0, 3);
        const std::int64_t a = kind == 0 ? 0 : uniform(rng, 0, top);
        steps.emplace_back(a, kind == 1 ? 0 : uniform(rng, 0, top));
    }
    return steps;
}

// One step repeated: both sides of every cut keep the same class shares, so
// every weighted entropy is equal and the lowest index must win.
Steps constant_steps(Rng& rng, std::size_t size, std::int64_t top) {
    const std::pair<std::int64_t, std::int64_t> step{uniform(rng, 1, top), uniform(rng, 1, top)};
    return Steps(size, step);
}

// A sequence followed by its mirror: cuts at mirrored places have the same
// weighted entropy in exact arithmetic, and rounding decides between them.
Steps mirrored_steps(Rng& rng, std::size_t size, std::int64_t top) {
    Steps steps = random_steps(rng, size / 2, top);
    steps.insert(steps.end(), steps.rbegin(), steps.rend());
    return steps;
}

// Class shares drifting slowly: a flat minimum with many near ties.
Steps drifting_steps(Rng& rng, std::size_t size, std::int64_t top) {
    Steps steps;
    for (std::size_t i = 0; i < size; ++i) {
        const std::int64_t a = top + uniform(rng, 0, 1);
        steps.emplace_back(a, i < size / 2 ? a : a + uniform(rng, 0, 1));
    }
    return steps;
}

// Class shares that change once, at a random place: a clear minimum, far from
// most blocks of a long segment, which the screen may then skip whole.
Steps shifted_steps(Rng& rng, std::size_t size, std::int64_t top) {
    const auto shift = static_cast<std::size_t>(uniform(rng, 0, static_cast<std::int64_t>(size)));
    Steps steps;
    for (std::size_t i = 0; i < size; ++i) {
        const std::int64_t many = uniform(rng, 0, top);
        const std::int64_t few = uniform(rng, 0, top / 4);
        steps.emplace_back(i < shift ? many : few, i < shift ? few : many);
    }
    return steps;
}

template <Steps (*make)(Rng&, std::size_t, std::int64_t)>
CutPointTable table_of(Rng& rng, std::size_t size, std::int64_t top) {
    return cumulative(make(rng, size, top));
}

// Counts a caller may pass: falling, negative or huge. The screen must step
// aside and leave them to the plain scan.
CutPointTable absurd_table(Rng& rng, std::size_t size, std::int64_t /*top*/) {
    CutPointTable table = cumulative(random_steps(rng, size, 9));
    const auto at = static_cast<std::size_t>(uniform(rng, 1, static_cast<std::int64_t>(size)));
    const std::int64_t kind = uniform(rng, 0, 2);
    if (kind == 0) table[at].c0 = -table[at].c0 - 1;
    if (kind == 1) table[at].c1 = std::int64_t{1} << 61;
    if (kind == 2) table.back().c0 = std::int64_t{1} << 52;
    return table;
}

MdlpParams random_params(Rng& rng, std::int64_t total) {
    MdlpParams params;
    const std::int64_t minobs[] = {0, 0, -1, 3, total / 20, total / 3, INT64_MIN, INT64_MAX};
    params.minobs = minobs[uniform(rng, 0, 7)];
    params.monotonicity = static_cast<MonotonicityMode>(uniform(rng, 0, 3));
    params.mono_dir = static_cast<std::int32_t>(uniform(rng, -1, 1));
    return params;
}

bool same(const SegmentEvaluation& a, const SegmentEvaluation& b) {
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    return a.found == b.found && a.has_candidate == b.has_candidate && a.idx == b.idx &&
           bits(a.pto) == bits(b.pto) && bits(a.gain) == bits(b.gain) &&
           bits(a.cost_pos) == bits(b.cost_pos) && bits(a.cost_struct) == bits(b.cost_struct) &&
           bits(a.cost) == bits(b.cost);
}

// The root and a few random segments of the table, at every width.
// Counts the segments the screen took on, at the widest width.
bool check_table(const CutPointTable& table, Rng& rng, long& screened, const char* family) {
    const ScanWidth widest = tembrolin::widest_scan_width();
    const auto last = static_cast<std::int64_t>(table.size() - 1);
    std::vector<std::uint64_t> candidates;
    for (int k = 0; k < 4; ++k) {
        std::uint64_t L = 0, R = table.size() - 1;
        if (k > 0) {
            L = static_cast<std::uint64_t>(uniform(rng, 0, last - 1));
            R = static_cast<std::uint64_t>(uniform(rng, static_cast<std::int64_t>(L) + 1, last));
        }
        const auto segment = tembrolin::make_segment(table, L, R);
        const MdlpParams params = random_params(rng, segment.seg_c0 + segment.seg_c1);
        const SegmentEvaluation plain =
            tembrolin::evaluate_segment(table, segment, params, ScanWidth::plain);
        screened += tembrolin::screen_segment(table, segment, params, widest, candidates);
        for (const ScanWidth width : {ScanWidth::baseline, ScanWidth::avx2, ScanWidth::avx512}) {
            if (width > widest) break;
            if (!same(plain, tembrolin::evaluate_segment(table, segment, params, width))) {
                std::printf("%s: width %d differs on L=%llu R=%llu\n", family,
                            static_cast<int>(width), static_cast<unsigned long long>(L),
                            static_cast<unsigned long long>(R));
                return false;
            }
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const auto seed = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1;
    const auto tables = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 40;
    Rng rng(seed);
    const struct {
        const char* name;
        CutPointTable (*make)(Rng&, std::size_t, std::int64_t);
        std::int64_t min_size, max_size;
    } families[] = {
        {"random", table_of<random_steps>, 2, 3000},
        {"constant", table_of<constant_steps>, 2, 3000},
        {"mirrored", table_of<mirrored_steps>, 2, 3000},
        {"drifting", table_of<drifting_steps>, 2, 3000},
        {"shifted", table_of<shifted_steps>, 2, 20000},
        {"absurd", absurd_table, 70, 600},
    };
    for (const auto& family : families) {
        long screened = 0;
        for (long t = 0; t < tables; ++t) {
            const auto size =
                static_cast<std::size_t>(uniform(rng, family.min_size, family.max_size));
            const std::int64_t top = t % 3 == 0 ? 1 : t % 3 == 1 ? 50 : 4'000'000;
            if (!check_table(family.make(rng, size, top), rng, screened, family.name)) return 1;
        }
        std::printf("%s: %ld segments, %ld screened\n", family.name, 4 * tables, screened);
    }
    return 0;
}
