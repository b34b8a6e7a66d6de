// Headless frames per second of each effect's scene, as a ratio to a frame in which the script
// draws nothing. Each scene renders a run of consecutive frames 10 ms apart, as the frame loop
// would, and waits for the renderer after each one. Beside the wall-clock rate it prints the
// processor time per frame over all threads (the renderer's included), which a busy machine
// disturbs less. Prints figures; never fails on a time.
//
// Usage: bench_effects [--size WxH] [seconds per scene, default 3] [only this scene, besides the
// empty one]. --size draws the picture sharp at that size (the classic 640x480 by default).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "bench/scene_windows.h"
#include "platform/gl.h"
#include "platform/headless/headless.h"
#include "runtime/runtime.h"

namespace {

using scene_windows::Window;

double cpu_seconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

struct Figures {
    double fps;
    double cpu_ms;  // processor time per frame, all threads
};

// Frames 10 ms apart inside the window, back to its first frame when they reach its end.
Figures measure(const Window& scene, double seconds) {
    using clock = std::chrono::steady_clock;
    const uint32_t first = scene.from + 10;
    uint32_t t = first;
    for (int i = 0; i < 5; ++i) render_frame(t + 10 * uint32_t(i));  // warm-up
    glFinish();
    int frames = 0;
    const double cpu_begin = cpu_seconds();
    const auto begin = clock::now();
    double elapsed = 0.0;
    while (elapsed < seconds) {
        render_frame(t);
        glFinish();
        ++frames;
        t += 10;
        if (t >= scene.to) t = first;
        elapsed = std::chrono::duration<double>(clock::now() - begin).count();
    }
    return {frames / elapsed, 1000.0 * (cpu_seconds() - cpu_begin) / frames};
}

}  // namespace

int main(int argc, char** argv) {
    int width = 0;
    int height = 0;
    if (argc > 2 && std::strcmp(argv[1], "--size") == 0 && std::sscanf(argv[2], "%dx%d", &width, &height) == 2) {
        headless::set_picture_size(width, height);
        argc -= 2;
        argv += 2;
    }
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    start_up();
    Figures empty{};
    std::printf("%-18s %8s %7s %12s %7s\n", "scene", "fps", "ratio", "cpu ms/frame", "ratio");
    Window scenes[1 + scene_windows::kSceneCount] = {scene_windows::kEmpty};
    for (int i = 0; i < scene_windows::kSceneCount; ++i) scenes[1 + i] = scene_windows::kScenes[i];
    for (const Window& scene : scenes) {
        if (argc > 2 && empty.fps != 0.0 && std::strcmp(argv[2], scene.name) != 0) continue;
        const Figures f = measure(scene, seconds);
        if (empty.fps == 0.0) empty = f;
        // Both ratios read as "rate against the empty frame": above 1 is faster.
        std::printf("%-18s %8.1f %7.3f %12.2f %7.3f\n", scene.name, f.fps, f.fps / empty.fps,
                    f.cpu_ms, empty.cpu_ms / f.cpu_ms);
    }
    return 0;
}
