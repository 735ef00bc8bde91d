#include "glue.hpp"

namespace tembrolin::bindings {

py::dict binary_summary_dict(const std::vector<BinarySummaryRow>& rows) {
    py::dict d;
    d["left"] = column<double>(rows, &BinarySummaryRow::left);
    d["right"] = column<double>(rows, &BinarySummaryRow::right);
    d["count"] = column<std::int64_t>(rows, &BinarySummaryRow::count);
    d["percentage"] = column<double>(rows, &BinarySummaryRow::percentage);
    d["c0"] = column<std::int64_t>(rows, &BinarySummaryRow::c0);
    d["c1"] = column<std::int64_t>(rows, &BinarySummaryRow::c1);
    d["event_rate"] = column<double>(rows, &BinarySummaryRow::event_rate);
    d["representative"] = column<double>(rows, &BinarySummaryRow::representative);
    return d;
}

}  // namespace tembrolin::bindings
