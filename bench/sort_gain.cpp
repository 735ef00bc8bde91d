// The sort behind every raw entry point: our radix sort of doubles against
// std::sort on the same normal sample, median wall time of five runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "sort/radix_sort.hpp"

namespace {

template <class Sort>
double median_ms(const std::vector<double>& input, Sort sort) {
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        std::vector<double> values = input;
        const auto start = std::chrono::steady_clock::now();
        sort(values);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[2];
}

}  // namespace

int main() {
    std::printf("%-28s | %-4s | %9s | %13s | %s\n", "sort of doubles", "n", "radix ms",
                "std::sort ms", "ratio");
    for (const std::size_t n : {std::size_t{1000000}, std::size_t{10000000}}) {
        std::mt19937_64 engine(20261206);
        std::normal_distribution<double> normal;
        std::vector<double> input(n);
        for (double& v : input) v = normal(engine);
        const double radix =
            median_ms(input, [](std::vector<double>& v) { tembrolin::sort_doubles(v); });
        const double standard =
            median_ms(input, [](std::vector<double>& v) { std::sort(v.begin(), v.end()); });
        std::printf("%-28s | %-4s | %9.1f | %13.1f | %.3f\n", "tembrolin::sort_doubles",
                    n == 1000000 ? "1e6" : "1e7", radix, standard, radix / standard);
    }
}
