// Benchmark: how long start-up spends synthesizing the nine instrument rows (49,268 samples),
// per row and in all, best and median of repeated runs. Prints figures; never fails on a time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "music/synth.h"

namespace {

constexpr int kRuns = 200;
uint8_t out[32768];  // one row at a time, the largest length fits

double micros_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    std::vector<double> per_row[kInstrumentCount];
    std::vector<double> totals;
    unsigned checksum = 0;  // keeps the rendering from being optimised away
    for (int run = 0; run < kRuns; ++run) {
        const auto all = std::chrono::steady_clock::now();
        for (int i = 0; i < kInstrumentCount; ++i) {
            const InstrumentParams params = instrument_params(i);
            const auto start = std::chrono::steady_clock::now();
            render_instrument(params, out);
            per_row[i].push_back(micros_since(start));
            checksum += out[params.sample_count - 1];
        }
        totals.push_back(micros_since(all));
    }

    uint32_t samples = 0;
    std::printf("instrument synthesis, %d runs (checksum %u)\n", kRuns, checksum);
    std::printf("row  samples  flags  best us  median us  ns/sample\n");
    for (int i = 0; i < kInstrumentCount; ++i) {
        const InstrumentParams params = instrument_params(i);
        samples += params.sample_count;
        const double best = *std::min_element(per_row[i].begin(), per_row[i].end());
        std::printf("%3d  %7u  %5u  %7.1f  %9.1f  %9.2f\n", i, params.sample_count, params.wave_flags, best,
                    median(per_row[i]), 1000.0 * median(per_row[i]) / params.sample_count);
    }
    const double best_total = *std::min_element(totals.begin(), totals.end());
    const double median_total = median(totals);
    std::printf("all nine rows: %u samples, best %.1f us, median %.1f us (%.2f ms)\n", samples, best_total,
                median_total, median_total / 1000.0);
    std::printf("sound rendered per second of synthesis: %.0f s of 44,100 Hz audio\n",
                (samples / 44100.0) / (median_total / 1e6));
    return 0;
}
