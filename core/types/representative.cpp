#include "types/representative.hpp"

#include <stdexcept>

namespace tembrolin {

Representative parse_representative(std::string_view name) {
    if (name == "mean") return Representative::mean;
    if (name == "median") return Representative::median;
    throw std::invalid_argument("representative debe ser 'mean' o 'median'");
}

}  // namespace tembrolin
