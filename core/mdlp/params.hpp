#pragma once

#include <cstdint>

namespace tembrolin {

// The accepted values of `monotonicity`. Modes 1 and 3 apply the event-rate rule
// (when `mono_dir` is not 0); mode 2 is accepted and carried for the callers that
// use it, and changes nothing here.
enum class MonotonicityMode : std::int32_t {
    none = 0,
    event_rate = 1,
    carried = 2,
    event_rate_too = 3,
};

// Parameters of the MDLP search.
struct MdlpParams {
    double alpha_pos = 1.0;    // weight of the position cost
    double beta_struct = 1.0;  // weight of the structure cost
    std::int64_t minobs = 0;   // each side of a cut needs strictly more observations
    std::int32_t mono_dir = 0; // > 0 non-decreasing event rate, < 0 non-increasing, 0 no rule
    MonotonicityMode monotonicity = MonotonicityMode::none;
    bool force_first_split = false;
};

// Checks the `monotonicity` argument of every MDLP entry point.
MonotonicityMode validate_monotonicity(std::int32_t monotonicity);

}  // namespace tembrolin
