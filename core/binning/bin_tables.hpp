#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "types/representative.hpp"

namespace tembrolin {

// Shared by the bin summaries: bins are numbered 0 .. k, slot k + 1 holds the
// observations whose x is missing.

// Bin b of k split points is (left, right]; the outer bins reach to infinity.
struct BinBounds {
    double left;
    double right;
};
BinBounds bin_bounds(std::size_t b, std::span<const double> splits);

// part / whole as doubles, 0.0 for an empty whole.
double share(std::int64_t part, std::int64_t whole);

// One list per slot with room for exactly the counted values, so filling them
// in a second pass never regrows a list.
std::vector<std::vector<double>> sized_lists(std::span<const std::int64_t> counts);

// The representative x of a bin holding count values: NaN when empty; the mean
// from their sum in input order; the median by selection over `values`, which
// it reorders (only read for the median).
double bin_representative(Representative representative, std::int64_t count, double sum,
                          std::span<double> values);

}  // namespace tembrolin
