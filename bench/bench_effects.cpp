// Headless frames per second of each effect's scene, as a ratio to a frame in which the script
// draws nothing. Each scene renders a run of consecutive frames 10 ms apart, as the frame loop
// would, and waits for the renderer after each one. Beside the wall-clock rate it prints the
// processor time per frame over all threads (the renderer's included), which a busy machine
// disturbs less. Prints figures; never fails on a time.
//
// Usage: bench_effects [seconds per scene, default 3] [only this scene, besides the empty one]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/gl.h"
#include "runtime/runtime.h"

namespace {

struct Scene {
    const char* name;
    uint32_t start;  // ms; frames run from here in 10 ms steps
    uint32_t end;    // ms; wraps back to start when reached
};

// The empty frame lies in the gap after the third swarm window, before the 68 s caption.
const Scene scenes[] = {
    {"empty", 66600, 67900},
    {"backdrop", 1000, 7000},
    {"cube swarm", 52000, 53900},
    {"tube", 72200, 77900},
    {"coil", 78100, 81900},
    {"captions", 68010, 68690},  // the last phrase: strokes and words over a faded picture
};

double cpu_seconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

struct Figures {
    double fps;
    double cpu_ms;  // processor time per frame, all threads
};

Figures measure(const Scene& scene, double seconds) {
    using clock = std::chrono::steady_clock;
    uint32_t t = scene.start;
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
        if (t >= scene.end) t = scene.start;
        elapsed = std::chrono::duration<double>(clock::now() - begin).count();
    }
    return {frames / elapsed, 1000.0 * (cpu_seconds() - cpu_begin) / frames};
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    start_up();
    Figures empty{};
    std::printf("%-12s %8s %7s %12s %7s\n", "scene", "fps", "ratio", "cpu ms/frame", "ratio");
    for (const Scene& scene : scenes) {
        if (argc > 2 && empty.fps != 0.0 && std::strcmp(argv[2], scene.name) != 0) continue;
        const Figures f = measure(scene, seconds);
        if (empty.fps == 0.0) empty = f;
        // Both ratios read as "rate against the empty frame": above 1 is faster.
        std::printf("%-12s %8.1f %7.3f %12.2f %7.3f\n", scene.name, f.fps, f.fps / empty.fps,
                    f.cpu_ms, empty.cpu_ms / f.cpu_ms);
    }
    return 0;
}
