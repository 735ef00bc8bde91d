#include "binning/bin_summaries.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <memory>
#include <numeric>
#include <optional>
#include <stdexcept>

#include "binning/quantiles.hpp"
#include "sort/order_statistics.hpp"
#include "sort/radix_sort.hpp"
#include "sort/sorted_search.hpp"

namespace tembrolin {
namespace {

// Bins are numbered 0 .. k; slot k + 1 of every table holds the observations
// whose x is missing.

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct BinBounds {
    double left;
    double right;
};

// Bin b of k split points is (left, right]; the outer bins reach to infinity.
BinBounds bin_bounds(std::size_t b, std::span<const double> splits) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    return {b == 0 ? -inf : splits[b - 1], b < splits.size() ? splits[b] : inf};
}

// One list per slot with room for exactly the counted values, so filling them
// in a second pass never regrows a list.
std::vector<std::vector<double>> sized_lists(std::span<const std::int64_t> counts) {
    std::vector<std::vector<double>> lists(counts.size());
    for (std::size_t s = 0; s < counts.size(); ++s) {
        lists[s].reserve(static_cast<std::size_t>(counts[s]));
    }
    return lists;
}

// The median x of each bin (NaN for an empty one); `count` holds the bins' counts of
// the x whose index `kept` admits, `slot_of(i)` the bin of x[i]. Their keys are laid out
// bin after bin in one buffer, each bin's median then selected in its own stretch.
template <class Kept, class SlotOf>
std::vector<double> bin_medians(std::span<const double> x, std::span<const std::int64_t> count,
                                Kept kept, SlotOf slot_of) {
    std::vector<std::size_t> next(count.size() + 1, 0);
    for (std::size_t b = 0; b < count.size(); ++b) {
        next[b + 1] = next[b] + static_cast<std::size_t>(count[b]);
    }
    // Left uninitialised: every key is written before the selection reads it.
    const auto keys = std::make_unique_for_overwrite<std::uint64_t[]>(next.back());
    const std::size_t missing_slot = count.size();
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!kept(i)) continue;
        const std::size_t slot = slot_of(i);
        if (slot != missing_slot) keys[next[slot]++] = order_key(x[i]);
    }
    std::vector<double> medians(count.size(), nan);
    std::size_t start = 0;
    for (std::size_t b = 0; b < count.size(); ++b) {
        const auto m = static_cast<std::size_t>(count[b]);
        const QuantilePosition p = median_position(m);
        if (m > 0) medians[b] = select_keys_at({keys.get() + start, m}, {&p, 1}).front();
        start += m;
    }
    return medians;
}

// The representative x of a bin: the mean from its sum in input order, the median
// found for it, or none (NaN).
double bin_representative(std::optional<Representative> representative, std::int64_t count,
                          double sum, double median) {
    if (!representative) return nan;
    return representative_value(
        *representative, static_cast<std::size_t>(count), [sum] { return sum; },
        [median] { return median; });
}

// What a report knows of each slot (bins 0 .. k, then the missing values'): counts,
// sums of x in input order (read only for a mean) and the bins' medians.
struct SlotTotals {
    std::span<const std::int64_t> count;
    std::span<const std::int64_t> c1;
    std::span<const double> sum;
    std::span<const double> medians;
};

// The report rows over splits from the slots' totals, n observations in all.
std::vector<BinarySummaryRow> rows_of(std::span<const double> splits, SlotTotals totals,
                                      std::optional<Representative> representative,
                                      std::size_t observations) {
    const std::size_t k = splits.size();
    const auto [count, c1, sum, medians] = totals;
    const auto n = static_cast<std::int64_t>(observations);
    const bool missing = count[k + 1] > 0;
    std::vector<BinarySummaryRow> rows;
    rows.reserve(k + (missing ? 2 : 1));
    for (std::size_t b = 0; b <= k; ++b) {
        const BinBounds bounds = bin_bounds(b, splits);
        rows.push_back({bounds.left, bounds.right, count[b], share(count[b], n), count[b] - c1[b],
                        c1[b], share(c1[b], count[b]),
                        bin_representative(representative, count[b], sum[b], medians[b])});
    }
    if (missing) {
        const std::int64_t m = count[k + 1];
        const std::int64_t m1 = c1[k + 1];
        rows.push_back({nan, nan, m, share(m, n), m - m1, m1, share(m1, m), nan});
    }
    return rows;
}

// The rows of summarize_bins_binary, the bin of x[i] given by `slot_of(i)`, and the
// bins' medians, when asked for, by `medians(count)` from the bins' counts.
template <class SlotOf, class Medians>
std::vector<BinarySummaryRow> binary_rows(std::span<const double> x,
                                          std::span<const std::int32_t> y,
                                          std::span<const double> splits,
                                          std::optional<Representative> representative,
                                          SlotOf slot_of, Medians medians_of) {
    const std::size_t k = splits.size();
    std::vector<std::int64_t> count(k + 2, 0);
    std::vector<std::int64_t> c1(k + 2, 0);
    std::vector<double> sum(k + 2, 0.0);  // in input order; the missing slot's is never read
    const bool sums = representative == Representative::mean;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const std::int32_t target = y[i];
        // Checked before x is looked at, so a missing x does not excuse a bad y.
        if (target != 0 && target != 1) {
            throw std::invalid_argument("binning: y debe contener solo 0 y 1");
        }
        const std::size_t slot = slot_of(i);
        ++count[slot];
        c1[slot] += target;
        if (sums) sum[slot] = x[i] + sum[slot];
    }

    const std::vector<double> medians = representative == Representative::median
                                            ? medians_of(std::span(count).first(k + 1))
                                            : std::vector<double>(k + 1, nan);
    return rows_of(splits, {count, c1, sum, medians}, representative, x.size());
}

// The coarse bin of every fine bin (and the missing slot's), the coarse splits being
// some of the fine ones: a fine bin (f[s - 1], f[s]] lies in the coarse bin of f[s].
std::vector<std::uint32_t> coarse_slots(std::span<const double> fine,
                                        std::span<const double> coarse) {
    for (const double c : coarse) {
        const std::size_t below = count_elements<Side::below>(fine, c);
        if (below == fine.size() || fine[below] != c) {
            throw std::invalid_argument(
                "regroup_bins: coarse_splits deben estar entre fine_splits");
        }
    }
    std::vector<std::uint32_t> out(fine.size() + 2);
    for (std::size_t s = 0; s < fine.size(); ++s) {
        out[s] = static_cast<std::uint32_t>(count_elements<Side::below>(coarse, fine[s]));
    }
    out[fine.size()] = static_cast<std::uint32_t>(coarse.size());
    out[fine.size() + 1] = static_cast<std::uint32_t>(coarse.size() + 1);
    return out;
}

// The medians of the coarse bins from the keys of the few fine bins that hold their
// middle order statistics. A coarse bin's sorted keys are its fine bins' sorted keys
// one after another (every x of a fine bin is below every x of the next), so each
// order statistic is one of a single fine bin, found there by selection.
template <class Slot>
class FineBinMedians {
  public:
    FineBinMedians(std::span<const double> x, std::span<const Slot> slots,
                   std::span<const std::uint32_t> coarse_of,
                   std::span<const std::int64_t> fine_count)
        : x_(x), slots_(slots), coarse_of_(coarse_of), fine_count_(fine_count) {}

    std::vector<double> operator()(std::span<const std::int64_t> count) {
        const std::size_t n_fine = fine_count_.size() - 1;  // without the missing slot
        std::vector<Wanted> wanted(count.size());
        std::vector<bool> needed(n_fine, false);
        std::size_t next_fine = 0;
        for (std::size_t b = 0; b < count.size(); ++b) {
            const std::size_t first = next_fine;
            while (next_fine < n_fine && coarse_of_[next_fine] == b) ++next_fine;
            if (count[b] == 0) continue;
            const QuantilePosition p = median_position(static_cast<std::size_t>(count[b]));
            wanted[b] = {p, locate(first, p.lower_index), locate(first, p.upper_index)};
            needed[wanted[b].lower.fine] = true;
            needed[wanted[b].upper.fine] = true;
        }
        gather(needed);
        std::vector<double> medians(count.size(), nan);
        for (std::size_t b = 0; b < count.size(); ++b) {
            if (count[b] > 0) medians[b] = median_of(wanted[b]);
        }
        return medians;
    }

  private:
    struct Place {
        std::size_t fine = 0;  // the fine bin holding the order statistic
        std::size_t rank = 0;  // its rank among that fine bin's keys
    };
    struct Wanted {
        QuantilePosition position{};
        Place lower;
        Place upper;
    };

    // The place of the coarse bin's order statistic i, its fine bins from `first` on.
    Place locate(std::size_t first, std::size_t i) const {
        std::size_t s = first;
        while (i >= static_cast<std::size_t>(fine_count_[s])) {
            i -= static_cast<std::size_t>(fine_count_[s]);
            ++s;
        }
        return {s, i};
    }

    // The keys of every needed fine bin, each in a stretch of its own. Branch-free, as
    // the rows' bins come in no predictable order: the keys of the other slots (the
    // missing one included) all go to one last element, written over and never read.
    void gather(const std::vector<bool>& needed) {
        start_.assign(needed.size() + 1, 0);
        for (std::size_t s = 0; s < needed.size(); ++s) {
            start_[s + 1] = start_[s] + (needed[s] ? static_cast<std::size_t>(fine_count_[s]) : 0);
        }
        const std::size_t dump = start_.back();
        keys_.resize(dump + 1);
        std::vector<std::size_t> next(fine_count_.size(), dump);
        std::vector<std::size_t> step(fine_count_.size(), 0);
        for (std::size_t s = 0; s < needed.size(); ++s) {
            if (!needed[s]) continue;
            next[s] = start_[s];
            step[s] = 1;
        }
        for (std::size_t i = 0; i < x_.size(); ++i) {
            const std::size_t s = slots_[i];
            keys_[next[s]] = order_key(x_[i]);
            next[s] += step[s];
        }
    }

    std::span<std::uint64_t> keys_of(std::size_t s) {
        return std::span(keys_).subspan(start_[s], start_[s + 1] - start_[s]);
    }

    double median_of(const Wanted& w) {
        if (w.lower.fine == w.upper.fine) {
            const std::size_t shift = w.position.lower_index - w.lower.rank;
            const QuantilePosition p{w.lower.rank, w.position.upper_index - shift,
                                     w.position.fraction};
            return select_keys_at(keys_of(w.lower.fine), {&p, 1}).front();
        }
        // Neighbouring order statistics in two fine bins: the last of one, the first
        // of the next that holds any.
        const std::span<std::uint64_t> low = keys_of(w.lower.fine);
        const std::span<std::uint64_t> high = keys_of(w.upper.fine);
        return interpolate(from_order_key(*std::max_element(low.begin(), low.end())),
                           from_order_key(*std::min_element(high.begin(), high.end())),
                           w.position.fraction);
    }

    std::span<const double> x_;
    std::span<const Slot> slots_;
    std::span<const std::uint32_t> coarse_of_;
    std::span<const std::int64_t> fine_count_;
    std::vector<std::size_t> start_;
    std::vector<std::uint64_t> keys_;
};

}  // namespace

std::vector<BinarySummaryRow> summarize_bins_binary(std::span<const double> x,
                                                    std::span<const std::int32_t> y,
                                                    std::span<const double> splits,
                                                    Representative representative) {
    const BinSlots bin_slot(splits);
    const auto slot_of = [x, &bin_slot](std::size_t i) { return bin_slot(x[i]); };
    return binary_rows(x, y, splits, representative, slot_of, [&](auto count) {
        return bin_medians(x, count, [](std::size_t) { return true; }, slot_of);
    });
}

template <class Slot>
std::vector<BinarySummaryRow> slot_bins_binary(std::span<const double> x,
                                               std::span<const std::int32_t> y,
                                               std::span<const double> splits,
                                               std::optional<Representative> representative,
                                               std::span<Slot> slots) {
    const BinSlots bin_slot(splits);
    const auto slot_of = [x, &bin_slot, slots](std::size_t i) {
        const std::size_t slot = bin_slot(x[i]);
        slots[i] = static_cast<Slot>(slot);
        return slot;
    };
    return binary_rows(x, y, splits, representative, slot_of, [&](auto count) {
        return bin_medians(
            x, count, [](std::size_t) { return true; },
            [slots](std::size_t i) -> std::size_t { return slots[i]; });
    });
}

template <class Slot>
std::vector<BinarySummaryRow> regroup_bins_binary(std::span<const double> x,
                                                  std::span<const Slot> slots,
                                                  std::span<const std::int64_t> fine_c1,
                                                  std::span<const double> fine_splits,
                                                  std::span<const double> coarse_splits,
                                                  std::optional<Representative> representative) {
    const std::vector<std::uint32_t> coarse_of = coarse_slots(fine_splits, coarse_splits);
    const std::size_t n_fine = fine_splits.size() + 2;  // with the missing slot
    // Checked first, so that no slot reads past the tables.
    Slot largest = 0;
    for (const Slot s : slots) largest = std::max(largest, s);
    if (largest >= n_fine) throw std::invalid_argument("regroup_bins: slots fuera de rango");
    // The missing slot's class-1 count is left out when no x is missing.
    if (fine_c1.size() + 1 < n_fine || fine_c1.size() > n_fine) {
        throw std::invalid_argument("regroup_bins: fine_c1 debe tener una cuenta por slot");
    }
    std::vector<std::int64_t> fine_count(n_fine, 0);
    for (const Slot s : slots) ++fine_count[s];
    const std::size_t n_coarse = coarse_splits.size() + 2;
    std::vector<std::int64_t> count(n_coarse, 0);
    std::vector<std::int64_t> c1(n_coarse, 0);
    for (std::size_t s = 0; s < n_fine; ++s) {
        const std::int64_t events = s < fine_c1.size() ? fine_c1[s] : 0;
        if (events < 0 || events > fine_count[s]) {
            throw std::invalid_argument("regroup_bins: fine_c1 no corresponde a los slots");
        }
        count[coarse_of[s]] += fine_count[s];
        c1[coarse_of[s]] += events;
    }
    std::vector<double> sum(n_coarse, 0.0);  // in input order, as summarize_bins_binary adds
    if (representative == Representative::mean) {
        for (std::size_t i = 0; i < x.size(); ++i) {
            const std::uint32_t b = coarse_of[slots[i]];
            sum[b] = x[i] + sum[b];
        }
    }
    const std::vector<double> medians = representative == Representative::median
                                            ? FineBinMedians<Slot>(x, slots, coarse_of, fine_count)(
                                                  std::span(count).first(n_coarse - 1))
                                            : std::vector<double>(n_coarse - 1, nan);
    return rows_of(coarse_splits, {count, c1, sum, medians}, representative, x.size());
}

// Slots of one byte when the bins are few, else of four.
template std::vector<BinarySummaryRow> slot_bins_binary(std::span<const double>,
                                                        std::span<const std::int32_t>,
                                                        std::span<const double>,
                                                        std::optional<Representative>,
                                                        std::span<std::uint8_t>);
template std::vector<BinarySummaryRow> slot_bins_binary(std::span<const double>,
                                                        std::span<const std::int32_t>,
                                                        std::span<const double>,
                                                        std::optional<Representative>,
                                                        std::span<std::uint32_t>);

template std::vector<BinarySummaryRow> regroup_bins_binary(
    std::span<const double>, std::span<const std::uint8_t>, std::span<const std::int64_t>,
    std::span<const double>, std::span<const double>, std::optional<Representative>);
template std::vector<BinarySummaryRow> regroup_bins_binary(
    std::span<const double>, std::span<const std::uint32_t>, std::span<const std::int64_t>,
    std::span<const double>, std::span<const double>, std::optional<Representative>);

std::vector<ContinuousSummaryRow> summarize_bins_continuous(std::span<const double> x,
                                                            std::span<const double> y,
                                                            std::span<const double> splits,
                                                            Representative representative) {
    const std::size_t k = splits.size();
    const std::size_t missing_slot = k + 1;

    const BinSlots bin_slot(splits);
    // Counting first sizes every list exactly for the second pass.
    std::vector<std::int64_t> count(k + 2, 0);
    std::vector<double> x_sum(k + 2, 0.0);  // in input order; the missing slot's is never read
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::isnan(y[i])) continue;
        const std::size_t slot = bin_slot(x[i]);
        ++count[slot];
        x_sum[slot] = x[i] + x_sum[slot];
    }
    const std::int64_t used = std::accumulate(count.begin(), count.end(), std::int64_t{0});

    const std::vector<double> medians =
        representative == Representative::median
            ? bin_medians(
                  x, std::span(count).first(k + 1),
                  [y](std::size_t i) { return !std::isnan(y[i]); },
                  [x, &bin_slot](std::size_t i) { return bin_slot(x[i]); })
            : std::vector<double>(k + 1, nan);
    std::vector<std::vector<double>> targets = sized_lists(count);
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::isnan(y[i])) continue;
        targets[bin_slot(x[i])].push_back(y[i]);
    }

    const bool missing = count[missing_slot] > 0;
    std::vector<ContinuousSummaryRow> rows;
    rows.reserve(k + (missing ? 2 : 1));
    for (std::size_t slot = 0; slot <= (missing ? missing_slot : k); ++slot) {
        std::vector<double>& t = targets[slot];
        sort_doubles(t);
        const std::int64_t c = count[slot];
        const bool empty = t.empty();
        const BinBounds bounds =
            slot == missing_slot ? BinBounds{nan, nan} : bin_bounds(slot, splits);
        // The mean adds the sorted targets in ascending order, from 0.0.
        rows.push_back({
            bounds.left,
            bounds.right,
            c,
            share(c, used),
            slot == missing_slot
                ? nan
                : bin_representative(representative, c, x_sum[slot], medians[slot]),
            empty ? nan : std::accumulate(t.begin(), t.end(), 0.0) / static_cast<double>(c),
            empty ? nan : binning_quantile(t, 0.25),
            empty ? nan : binning_quantile(t, 0.5),
            empty ? nan : binning_quantile(t, 0.75),
        });
        // Each bin's targets are done with once its row is built.
        std::vector<double>().swap(t);
    }
    return rows;
}

}  // namespace tembrolin
