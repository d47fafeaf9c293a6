// The clock and the order statistics the benchmarks report with.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

// Milliseconds on the steady clock.
inline double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The p-quantile (0 <= p <= 1) of the values, by the nearest rank; 0 for none.
inline double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    if (values.empty()) return 0;
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

// The middle value (the upper one of an even count); 0 for none.
inline double Median(std::vector<double> values) {
    return Percentile(std::move(values), 0.5);
}

} // namespace bench
