#pragma once
// Time for the benchmark: the performance counter, and the median of repeated runs.
#include <windows.h>
#include <algorithm>
#include <vector>

inline double NowMs() {
    LARGE_INTEGER counter = {};
    LARGE_INTEGER frequency = {};
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The middle value (the upper one of the two middles for an even count); 0 for none.
inline double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    return values[middle];
}
