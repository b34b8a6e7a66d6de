// Headless frames per second of each effect's scene, as a ratio to a frame in which the script
// draws nothing. Each scene renders a run of consecutive frames 10 ms apart, as the frame loop
// would, and waits for the renderer after each one. Prints figures; never fails on a time.
//
// Usage: bench_effects [seconds per scene, default 3]
#include <chrono>
#include <cstdio>
#include <cstdlib>

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
};

double frames_per_second(const Scene& scene, double seconds) {
    using clock = std::chrono::steady_clock;
    uint32_t t = scene.start;
    for (int i = 0; i < 5; ++i) render_frame(t + 10 * uint32_t(i));  // warm-up
    glFinish();
    int frames = 0;
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
    return frames / elapsed;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    start_up();
    double empty = 0.0;
    std::printf("%-12s %10s %8s\n", "scene", "fps", "ratio");
    for (const Scene& scene : scenes) {
        const double fps = frames_per_second(scene, seconds);
        if (empty == 0.0) empty = fps;
        std::printf("%-12s %10.1f %8.3f\n", scene.name, fps, fps / empty);
    }
    return 0;
}
