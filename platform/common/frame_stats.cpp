// Frame-time statistics of the live program (DEMO_FRAME_STATS=1). Main thread.
#include "platform/common/frame_stats.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace frame_stats {
namespace {

// The script's scenes by scene time, both ends exclusive as in the script; "between scenes" is
// every frame in none of them (the fade alone, flashes, the swarm's pauses).
struct Scene {
    const char* name;
    uint32_t from, to;
};
constexpr Scene kScenes[] = {
    {"particle backdrop", 0, 40000},
    {"cube swarm", 42000, 66500},
    {"tube", 70000, 78000},
    {"coil", 78000, UINT32_MAX},
};
constexpr int kSceneCount = int(sizeof kScenes / sizeof kScenes[0]);
constexpr int kBetween = kSceneCount;
const char* const kBetweenName = "between scenes";

// 82 s at up to 6,000 frames per second; frames past that are counted, not kept.
constexpr uint32_t kCapacity = 1u << 19;

bool keeping;
float frame_ms[kCapacity];
uint8_t group_of[kCapacity];
float sorted[kCapacity];
uint32_t kept;
uint32_t dropped;
std::chrono::steady_clock::time_point previous;
bool have_previous;

int group(uint32_t t) {
    for (int i = 0; i < kSceneCount; ++i)
        if (kScenes[i].from < t && t < kScenes[i].to) return i;
    return kBetween;
}

// The value at quantile q of the n sorted values, by nearest rank.
float quantile(const float* values, uint32_t n, double q) {
    uint32_t rank = uint32_t(q * n + 0.999999);
    rank = std::clamp<uint32_t>(rank, 1, n);
    return values[rank - 1];
}

// Straight to the file: stdio's first use of stdout would allocate its buffer, and the demo
// makes no heap allocation after its first frame.
template <typename... Args>
void print_line(const char* format, Args... args) {
    char line[160];
    const int n = std::snprintf(line, sizeof line, format, args...);
    if (n > 0) (void)!write(STDOUT_FILENO, line, std::min(size_t(n), sizeof line - 1));
}

void print_group(const char* name, int g) {
    uint32_t n = 0;
    double total = 0;
    for (uint32_t i = 0; i < kept; ++i) {
        if (g >= 0 && group_of[i] != g) continue;
        sorted[n++] = frame_ms[i];
        total += frame_ms[i];
    }
    if (n == 0) return;
    std::sort(sorted, sorted + n);
    print_line("frame stats: %-17s %7u frames %8.1f frames/s  median %7.2f ms  99th %7.2f ms\n", name, n,
               total > 0 ? n * 1000.0 / total : 0.0, quantile(sorted, n, 0.5), quantile(sorted, n, 0.99));
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
        if (kept < kCapacity) {
            frame_ms[kept] = std::chrono::duration<float, std::milli>(now - previous).count();
            group_of[kept] = uint8_t(group(t));
            ++kept;
        } else {
            ++dropped;
        }
    }
    previous = now;
    have_previous = true;
}

void print() {
    if (!keeping) return;
    for (int g = 0; g < kSceneCount; ++g) print_group(kScenes[g].name, g);
    print_group(kBetweenName, kBetween);
    print_group("whole run", -1);
    if (dropped > 0) print_line("frame stats: %u frames past the table's %u not counted\n", dropped, kCapacity);
}

}  // namespace frame_stats
