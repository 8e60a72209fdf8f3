// A plain timing harness: medians over repeated runs, with each figure
// printed beside its baseline from the same run, as a markdown table row.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace quil::bench {

// Median wall time in milliseconds of body(), with setup() run untimed
// before each repetition.
template <typename Setup, typename Body>
double MedianMs(int repetitions, Setup setup, Body body) {
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        setup();
        const auto start = std::chrono::steady_clock::now();
        body();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

template <typename Body>
double MedianMs(int repetitions, Body body) {
    return MedianMs(repetitions, [] {}, body);
}

inline void PrintHeader() {
    std::printf("| figure | ours (ms) | baseline | baseline (ms) | ratio | target |\n");
    std::printf("|---|---:|---|---:|---:|---|\n");
}

inline void PrintRow(const std::string& figure, double ours, const std::string& baseline, double baselineMs,
                     const std::string& target) {
    if (baselineMs > 0)
        std::printf("| %s | %.2f | %s | %.2f | %.2fx | %s |\n", figure.c_str(), ours, baseline.c_str(), baselineMs,
                    ours / baselineMs, target.c_str());
    else
        std::printf("| %s | %.2f | %s | | | %s |\n", figure.c_str(), ours, baseline.c_str(), target.c_str());
    std::fflush(stdout);
}

}  // namespace quil::bench
