#include "optimal/partition_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "optimal/bin_table.hpp"
#include "optimal/neighbour_tests.hpp"

namespace tembrolin {
namespace {

constexpr std::int64_t unreached = std::numeric_limits<std::int64_t>::min();
constexpr std::uint32_t no_state = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t no_phase = 2;

// The phase after a step from rate a to rate b, or no_phase where the trend
// forbids the step. A peak enters phase 1 at its first strict fall and a valley
// at its first strict rise, so every partition has exactly one phase: two states
// never hold the same partition.
std::size_t next_phase(Trend trend, std::size_t phase, double a, double b) {
    switch (trend) {
        case Trend::ascending:
            return a <= b ? 0 : no_phase;
        case Trend::descending:
            return a >= b ? 0 : no_phase;
        case Trend::peak:
            if (phase == 0) return a <= b ? 0 : 1;
            return a >= b ? 1 : no_phase;
        case Trend::valley:
            if (phase == 0) return a >= b ? 0 : 1;
            return a <= b ? 1 : no_phase;
        case Trend::none:
        case Trend::automatic:
            break;
    }
    return 0;
}

struct Optimum {
    bool feasible;
    std::int64_t total;  // in units of 2^-scale
    std::vector<std::int64_t> cuts;
};

// A state is a last bin (its cell), a phase and a bucket of the number of bins:
// the exact number minus one when max_n_bins bounds it, min(bins, min_n_bins) - 1
// when only min_n_bins does, and always 0 otherwise. It holds the best partition
// of the pre-bins up to the bin's end that ends so.
class Search {
  public:
    Search(const BinTable& table, const PartitionConstraints& c, Trend trend, bool binary)
        : table_(table),
          pre_bins_(table.pre_bins),
          trend_(trend),
          test_(c.min_rate_diff, c.max_pvalue, binary),
          phases_(trend == Trend::peak || trend == Trend::valley ? 2 : 1),
          bounded_(c.max_n_bins > 0),
          buckets_(bounded_ ? std::min(static_cast<std::size_t>(c.max_n_bins), pre_bins_)
                            : static_cast<std::size_t>(c.min_n_bins)),
          min_bins_(c.min_n_bins) {}

    Optimum run() {
        if (min_bins_ > static_cast<std::int64_t>(pre_bins_)) return {false, 0, {}};
        const std::size_t states = table_.cells.size() * phases_ * buckets_;
        if (states >= no_state) {
            throw std::invalid_argument(
                "optimal_partition: demasiados pre-bins para el número de bins pedido");
        }
        value_.assign(states, unreached);
        bins_.assign(states, 0);
        back_.assign(states, no_state);
        for (std::size_t end = 1; end <= pre_bins_; ++end) {
            const std::size_t cell = BinTable::index(0, end);
            if (!table_.cells[cell].allowed) continue;
            const std::size_t s = state(cell, 0, 0);
            value_[s] = table_.cells[cell].term;
            bins_[s] = 1;
        }
        // Without a p-value bound, a monotone trend (or none, without a rate gap) lets
        // a predecessor's rate alone decide whether it may precede.
        const bool monotone = trend_ == Trend::ascending || trend_ == Trend::descending;
        const bool free = trend_ == Trend::none && test_.min_rate_diff() == 0.0;
        if ((monotone || free) && !test_.tests_pvalue()) {
            extend_by_sweep();
        } else {
            extend_all_pairs();
        }
        return finish();
    }

  private:
    std::size_t state(std::size_t cell, std::size_t phase, std::size_t bucket) const {
        return (cell * phases_ + phase) * buckets_ + bucket;
    }

    std::size_t start_of(std::size_t s, std::size_t end) const {
        return s / (phases_ * buckets_) - BinTable::index(0, end);
    }

    // Whether the partition of state x comes before that of state y by the cut
    // rule, both with the same last bin end and the same number of bins.
    bool cuts_before(std::size_t x, std::size_t y, std::size_t end) const {
        while (x != y) {
            const std::size_t sx = start_of(x, end);
            const std::size_t sy = start_of(y, end);
            if (sx != sy) return sx < sy;
            if (sx == 0) return false;
            x = back_[x];
            y = back_[y];
            end = sx;
        }
        return false;
    }

    // The tie rule between the partitions of two states with the same end.
    bool better(std::size_t x, std::size_t y, std::size_t end) const {
        if (value_[x] != value_[y]) return value_[x] > value_[y];
        if (bins_[x] != bins_[y]) return bins_[x] < bins_[y];
        return cuts_before(x, y, end);
    }

    bool reached(std::size_t cell) const {
        if (!table_.cells[cell].allowed) return false;
        const std::size_t first = state(cell, 0, 0);
        for (std::size_t s = first; s < first + phases_ * buckets_; ++s) {
            if (value_[s] != unreached) return true;
        }
        return false;
    }

    // Appends bin `cell`, which starts at `start`, to the partition of `source`.
    void extend(std::size_t source, std::size_t bucket, std::size_t cell, std::size_t phase,
                std::size_t start) {
        std::size_t next = bucket + 1;
        if (bounded_ && next == buckets_) return;  // one bin too many
        next = std::min(next, buckets_ - 1);
        const std::size_t target = state(cell, phase, next);
        const std::int64_t v = value_[source] + table_.cells[cell].term;
        const std::int32_t n = bins_[source] + 1;
        if (v < value_[target]) return;
        if (v == value_[target]) {
            if (n > bins_[target]) return;
            // Both end with the same bin: the rest decides.
            if (n == bins_[target] && !cuts_before(source, back_[target], start)) return;
        }
        value_[target] = v;
        bins_[target] = n;
        back_[target] = static_cast<std::uint32_t>(source);
    }

    // Every pair of neighbouring bins (h, i) and (i, j).
    void extend_all_pairs() {
        for (std::size_t i = 1; i < pre_bins_; ++i) {
            for (std::size_t h = 0; h < i; ++h) {
                const std::size_t left = BinTable::index(h, i);
                if (!reached(left)) continue;
                const BinCell& a = table_.cells[left];
                for (std::size_t j = i + 1; j <= pre_bins_; ++j) {
                    const std::size_t right = BinTable::index(i, j);
                    const BinCell& b = table_.cells[right];
                    if (!b.allowed || !test_.passes(a, b)) continue;
                    for (std::size_t phase = 0; phase < phases_; ++phase) {
                        const std::size_t next = next_phase(trend_, phase, a.rate, b.rate);
                        if (next == no_phase) continue;
                        for (std::size_t bucket = 0; bucket < buckets_; ++bucket) {
                            const std::size_t s = state(left, phase, bucket);
                            if (value_[s] != unreached) extend(s, bucket, right, next, i);
                        }
                    }
                }
            }
        }
    }

    // Where whether bin (h, i) may precede bin (i, j) depends on their rates alone
    // and is monotone in both: for each i both sides are sorted in the trend's
    // order and swept together, the admitted predecessors growing, with the best
    // of them kept per bucket. Without a trend every predecessor is admitted.
    void extend_by_sweep() {
        const bool up = trend_ != Trend::descending;
        std::vector<std::size_t> before;
        std::vector<std::size_t> after;
        std::vector<std::size_t> best(buckets_);
        before.reserve(pre_bins_);
        after.reserve(pre_bins_);
        for (std::size_t i = 1; i < pre_bins_; ++i) {
            before.clear();
            after.clear();
            for (std::size_t h = 0; h < i; ++h) {
                if (reached(BinTable::index(h, i))) before.push_back(h);
            }
            for (std::size_t j = i + 1; j <= pre_bins_; ++j) {
                if (table_.at(i, j).allowed) after.push_back(j);
            }
            // In the trend's order, ties by position so that the order is one.
            const auto in_order = [up](double ra, std::size_t a, double rb, std::size_t b) {
                if (ra != rb) return up ? ra < rb : ra > rb;
                return a < b;
            };
            std::sort(before.begin(), before.end(), [&](std::size_t a, std::size_t b) {
                return in_order(table_.at(a, i).rate, a, table_.at(b, i).rate, b);
            });
            std::sort(after.begin(), after.end(), [&](std::size_t a, std::size_t b) {
                return in_order(table_.at(i, a).rate, a, table_.at(i, b).rate, b);
            });
            std::fill(best.begin(), best.end(), no_state);
            std::size_t admitted = 0;
            for (const std::size_t j : after) {
                const std::size_t right = BinTable::index(i, j);
                const BinCell& b = table_.cells[right];
                for (; admitted < before.size(); ++admitted) {
                    const std::size_t left = BinTable::index(before[admitted], i);
                    const BinCell& a = table_.cells[left];
                    if (next_phase(trend_, 0, a.rate, b.rate) == no_phase || !test_.passes(a, b)) {
                        break;
                    }
                    for (std::size_t bucket = 0; bucket < buckets_; ++bucket) {
                        const std::size_t s = state(left, 0, bucket);
                        if (value_[s] == unreached) continue;
                        if (best[bucket] == no_state || better(s, best[bucket], i))
                            best[bucket] = s;
                    }
                }
                for (std::size_t bucket = 0; bucket < buckets_; ++bucket) {
                    if (best[bucket] != no_state) extend(best[bucket], bucket, right, 0, i);
                }
            }
        }
    }

    Optimum finish() const {
        std::size_t best = no_state;
        for (std::size_t i = 0; i < pre_bins_; ++i) {
            const std::size_t first = state(BinTable::index(i, pre_bins_), 0, 0);
            for (std::size_t s = first; s < first + phases_ * buckets_; ++s) {
                if (value_[s] == unreached || bins_[s] < min_bins_) continue;
                if (best == no_state || better(s, best, pre_bins_)) best = s;
            }
        }
        if (best == no_state) return {false, 0, {}};
        Optimum found{true, value_[best], {}};
        for (std::size_t s = best, end = pre_bins_;;) {
            const std::size_t start = start_of(s, end);
            if (start == 0) break;
            found.cuts.push_back(static_cast<std::int64_t>(start));
            s = back_[s];
            end = start;
        }
        std::reverse(found.cuts.begin(), found.cuts.end());
        return found;
    }

    const BinTable& table_;
    std::size_t pre_bins_;
    Trend trend_;
    NeighbourTest test_;
    std::size_t phases_;
    bool bounded_;
    std::size_t buckets_;
    std::int64_t min_bins_;
    std::vector<std::int64_t> value_;  // in units of 2^-scale; unreached if no partition
    std::vector<std::int32_t> bins_;
    std::vector<std::uint32_t> back_;  // the state of the partition without its last bin
};

struct Solution {
    Optimum optimum;
    Trend trend;
};

Solution solve(const BinTable& table, const PartitionConstraints& c, bool binary) {
    if (c.trend != Trend::automatic) return {Search(table, c, c.trend, binary).run(), c.trend};
    Optimum up = Search(table, c, Trend::ascending, binary).run();
    Optimum down = Search(table, c, Trend::descending, binary).run();
    if (down.feasible && (!up.feasible || down.total > up.total)) {
        return {std::move(down), Trend::descending};
    }
    const Trend kept = up.feasible ? Trend::ascending : Trend::none;
    return {std::move(up), kept};
}

OptimalPartition answer(Solution&& solution, double objective) {
    return {std::move(solution.optimum.cuts),
            solution.optimum.feasible ? objective : std::numeric_limits<double>::quiet_NaN(),
            solution.optimum.feasible, solution.trend};
}

}  // namespace

OptimalPartition optimal_partition_binary(std::span<const double> c0, std::span<const double> c1,
                                          BinaryObjective objective,
                                          const PartitionConstraints& constraints) {
    check_constraints(constraints);
    const BinTable table = binary_bin_table(c0, c1, objective, constraints);
    Solution solution = solve(table, constraints, true);
    const double total = std::ldexp(static_cast<double>(solution.optimum.total), -table.scale);
    return answer(std::move(solution), total);
}

OptimalPartition optimal_partition_continuous(std::span<const double> count,
                                              std::span<const double> sum,
                                              std::span<const double> sum_sq,
                                              const PartitionConstraints& constraints) {
    check_constraints(constraints);
    if (constraints.min_bin_events != 0.0 || constraints.min_bin_non_events != 0.0) {
        throw std::invalid_argument(
            "optimal_partition: min_bin_events y min_bin_non_events son solo para un objetivo "
            "binario");
    }
    const BinTable table = continuous_bin_table(count, sum, sum_sq, constraints);
    Solution solution = solve(table, constraints, false);
    double total_sum_sq = 0.0;
    for (const double q : sum_sq) total_sum_sq += q;
    const double explained = std::ldexp(static_cast<double>(solution.optimum.total), -table.scale);
    return answer(std::move(solution), total_sum_sq - explained);
}

}  // namespace tembrolin
