// Frame-time statistics of the live program (DEMO_FRAME_STATS=1). Main thread.
#include "platform/common/frame_stats.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/runtime.h"

namespace frame_stats {
namespace {

constexpr int kSceneCount = int(sizeof kSceneSpans / sizeof kSceneSpans[0]);
constexpr int kBetween = kSceneCount;
constexpr int kWholeRun = kSceneCount + 1;
constexpr int kGroups = kSceneCount + 2;
const char* const kBetweenName = "between scenes";

// Frame times in a histogram per group rather than one by one: 0.05 ms steps up to 50 ms, 1 ms
// steps up to 1,050 ms, and one bin for the rest; the median and 99th percentile are read at the
// middle of their bin, the rate from the exact sum.
constexpr float kFineStep = 0.05f, kFineEnd = 50.0f, kCoarseStep = 1.0f;
constexpr int kFineBins = 1000, kCoarseBins = 1000, kBins = kFineBins + kCoarseBins + 1;
static_assert(kFineBins * kFineStep == kFineEnd, "the fine steps end where the coarse ones begin");

struct Group {
    uint32_t bins[kBins];
    uint32_t frames;
    double total_ms;
};

bool keeping;
Group groups[kGroups];
std::chrono::steady_clock::time_point previous;
bool have_previous;

int group(uint32_t t) {
    for (int i = 0; i < kSceneCount; ++i)
        if (kSceneSpans[i].from < t && t < kSceneSpans[i].to) return i;
    return kBetween;
}

int bin_of(float ms) {
    if (ms < kFineEnd) return std::max(0, int(ms / kFineStep));
    return std::min(kBins - 1, kFineBins + int((ms - kFineEnd) / kCoarseStep));
}

float middle_of(int bin) {
    if (bin < kFineBins) return (float(bin) + 0.5f) * kFineStep;
    if (bin < kBins - 1) return kFineEnd + (float(bin - kFineBins) + 0.5f) * kCoarseStep;
    return kFineEnd + float(kCoarseBins) * kCoarseStep;  // beyond: its lower end
}

// The value at quantile q, by nearest rank.
float quantile(const Group& g, double q) {
    const uint32_t rank = std::clamp<uint32_t>(uint32_t(q * g.frames + 0.999999), 1, g.frames);
    uint32_t seen = 0;
    for (int b = 0; b < kBins; ++b) {
        seen += g.bins[b];
        if (seen >= rank) return middle_of(b);
    }
    return middle_of(kBins - 1);
}

void add(Group& g, float ms) {
    ++g.bins[bin_of(ms)];
    ++g.frames;
    g.total_ms += double(ms);
}

// Straight to the file: stdio's first use of stdout would allocate its buffer, and the demo
// makes no heap allocation after its first frame.
template <typename... Args>
void print_line(const char* format, Args... args) {
    char line[160];
    const int n = std::snprintf(line, sizeof line, format, args...);
    if (n > 0) (void)!write(STDOUT_FILENO, line, std::min(size_t(n), sizeof line - 1));
}

void print_group(const char* name, const Group& g) {
    if (g.frames == 0) return;
    print_line("frame stats: %-17s %7u frames %8.1f frames/s  median %7.2f ms  99th %7.2f ms\n", name, g.frames,
               g.total_ms > 0 ? g.frames * 1000.0 / g.total_ms : 0.0, quantile(g, 0.5), quantile(g, 0.99));
}

}  // namespace

void start() {
    const char* v = std::getenv("DEMO_FRAME_STATS");
    keeping = v != nullptr && std::strcmp(v, "1") == 0;
}

void presented(uint32_t t) {
    if (!keeping) return;
    const auto now = std::chrono::steady_clock::now();
    if (have_previous) {
        const float ms = std::chrono::duration<float, std::milli>(now - previous).count();
        add(groups[group(t)], ms);
        add(groups[kWholeRun], ms);
    }
    previous = now;
    have_previous = true;
}

void print() {
    if (!keeping) return;
    for (int g = 0; g < kSceneCount; ++g) print_group(kSceneSpans[g].name, groups[g]);
    print_group(kBetweenName, groups[kBetween]);
    print_group("whole run", groups[kWholeRun]);
}

}  // namespace frame_stats
