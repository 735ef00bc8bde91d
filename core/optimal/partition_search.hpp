#pragma once

// The optimal partition of ordered pre-bins by dynamic programming over the
// last bin (its start and end), the phase of a peak or valley and, when the
// number of bins is bounded, that number. The objective, tie rule and trend
// conventions are those of partition_problem.hpp.
//
// Cost: O(P^3) neighbour pairs in general, each relaxed once per phase and count;
// without a p-value bound, and with a monotone trend or with neither trend nor
// rate gap, for each start i the bins ending at i and those starting there are
// sorted by rate and swept together with a running best, O(P^2 (log P + K)) for
// K counted bin numbers. Memory: O(P^2 K).

#include <span>

#include "optimal/partition_problem.hpp"

namespace tembrolin {

// Binary target: class weights per pre-bin, in order of x. Maximises the total
// information value or Jensen-Shannon divergence; objective is that total.
OptimalPartition optimal_partition_binary(std::span<const double> c0, std::span<const double> c1,
                                          BinaryObjective objective,
                                          const PartitionConstraints& constraints);

// Continuous target: weight, sum and sum of squares of the target per pre-bin.
// Minimises the within-bin squared error by maximising the sum over bins of
// sum_b^2 / n_b, which has no cancellation; objective is the error,
// (sum of sum_sq, left to right) - (that maximum).
OptimalPartition optimal_partition_continuous(std::span<const double> count,
                                              std::span<const double> sum,
                                              std::span<const double> sum_sq,
                                              const PartitionConstraints& constraints);

}  // namespace tembrolin
