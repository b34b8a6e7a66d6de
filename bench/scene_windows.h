// Windows of scene time that the frame-rate benchmarks time, each effect's scene alone, both ends
// exclusive: bench_effects, web_reference (the native side of the browser figures) and, through
// `web_reference windows`, bench/web_bench.py all take their frames from here. Main thread.
#pragma once

#include <cstdint>

namespace scene_windows {

struct Window {
    const char* name;
    uint32_t from, to;  // ms
};

inline constexpr Window kScenes[] = {
    {"particle backdrop", 1000, 7000},
    {"cube swarm", 52000, 53900},
    {"caption frames", 68000, 68700},  // the last phrase: strokes and words over a faded picture
    {"tube", 72200, 77900},
    {"coil", 78100, 81900},
};
inline constexpr int kSceneCount = sizeof kScenes / sizeof kScenes[0];

// Frames in which the script draws nothing: the gap after the third swarm window, before the
// 68 s caption.
inline constexpr Window kEmpty = {"empty", 66600, 67900};

}  // namespace scene_windows
