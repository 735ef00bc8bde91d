#include "mdlp/params.hpp"

#include <stdexcept>

namespace tembrolin {

MonotonicityMode validate_monotonicity(std::int32_t monotonicity) {
    if (monotonicity < 0 || monotonicity > 3) {
        throw std::invalid_argument("monotonicity debe estar en 0..3");
    }
    return static_cast<MonotonicityMode>(monotonicity);
}

}  // namespace tembrolin
