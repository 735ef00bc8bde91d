#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tembrolin {

// The one quantile rule of the module: linear interpolation between the two
// order statistics around a position h in [0, m - 1] of m ascending values.
// The preprocessing percentile, the MDLP median and the binning quantiles
// differ only in how they compute h.

// Where position h lies: between the order statistics at lower_index and
// upper_index (floor and ceiling of h), at `fraction` of the way.
struct QuantilePosition {
    std::size_t lower_index;
    std::size_t upper_index;
    double fraction;
};

// Requires m >= 1 and h a number no larger than m - 1 before rounding.
QuantilePosition position_at(std::size_t m, double h);

// The middle of m values (m >= 1): h = (m - 1) * 0.5.
QuantilePosition median_position(std::size_t m);

// The value at `fraction` of the way from lower to upper, computed as
// (upper - lower) * fraction + lower.
double interpolate(double lower, double upper, double fraction);

// The value at p of an ascending sequence. Reads only the two positions p
// names, so a sequence whose order statistics sit in place there serves too.
inline double value_at(std::span<const double> sorted, QuantilePosition p) {
    return interpolate(sorted[p.lower_index], sorted[p.upper_index], p.fraction);
}

// An ascending sequence held as its values (ascending) with how often each
// repeats; position i is the i-th element of the sequence they spell out.
class CountedSequence {
  public:
    CountedSequence(std::span<const double> values, std::span<const std::uint64_t> counts);
    std::size_t size() const { return ends_.empty() ? 0 : ends_.back(); }
    // Requires i < size().
    double at(std::size_t i) const { return values_[run_of(i)]; }
    // The index of the value that holds position i.
    std::size_t run_of(std::size_t i) const;
    std::span<const double> values() const { return values_; }
    std::span<const std::size_t> ends() const { return ends_; }

  private:
    std::span<const double> values_;
    std::vector<std::size_t> ends_;
};

inline double value_at(const CountedSequence& sorted, QuantilePosition p) {
    return interpolate(sorted.at(p.lower_index), sorted.at(p.upper_index), p.fraction);
}

// Selection instead of a full sort where only a few order statistics matter.
// Ties are broken as sort_doubles breaks them (-0.0 before +0.0), so the values
// found are bit for bit those a full sort puts at the same positions.

// Rearranges values (none NaN) so that every listed position holds its order
// statistic. Positions must be below values.size().
void select_order_statistics(std::span<double> values, std::vector<std::size_t> positions);

// value_at of the values (none NaN) once sorted, found by selection on a copy.
double select_value_at(std::span<const double> values, QuantilePosition p);

// value_at of every position of the sorted values that `keys` (order keys of values
// without NaN) stand for, found by one selection that rearranges the keys.
std::vector<double> select_keys_at(std::span<std::uint64_t> keys,
                                   std::span<const QuantilePosition> positions);

}  // namespace tembrolin
