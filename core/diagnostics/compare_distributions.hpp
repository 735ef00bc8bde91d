#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tembrolin {

// One bin of the comparison; the proportions are over the full sample lengths,
// missing values included.
struct DistributionBin {
    std::int64_t count_reference;
    std::int64_t count_current;
    double proportion_reference;
    double proportion_current;
    double cumulative_reference;  // running sum of the proportions so far
    double cumulative_current;
    double psi_bin;
};

struct DistributionComparison {
    std::vector<DistributionBin> rows;  // k + 1 bins, then the missing bin if any NaN was seen
    double psi;
    double ks;
};

// Population stability index and Kolmogorov-Smirnov statistic of two samples over
// right-closed bins at the given strictly increasing finite splits. NaN values go
// to a missing bin at the end; epsilon floors the proportions inside the logarithm.
DistributionComparison compare_distributions(std::span<const double> reference,
                                             std::span<const double> current,
                                             std::span<const double> splits, double epsilon);

// The same from the counts of each bin in both samples (the missing bin last, if
// any), which must hold the same number of bins and at least one observation each.
DistributionComparison compare_counts(std::span<const std::uint64_t> count_ref,
                                      std::span<const std::uint64_t> count_cur, double epsilon);

}  // namespace tembrolin
