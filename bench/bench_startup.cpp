// Headless start-up time (process start to the first finished frame) and the rate of frames in
// which the script draws nothing (fade quad, depth clear, flash scan) with the picture read back
// each frame, as a capture would. Prints figures; never fails on a time.
//
// Usage: bench_startup [seconds of empty frames, default 2]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/gl.h"
#include "platform/headless/headless.h"
#include "runtime/runtime.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Milliseconds since the kernel started this process (10 ms resolution), from /proc.
double process_age_ms() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) fields >> field;  // field 22: start time in clock ticks
    const double start_s = std::stod(field) / double(sysconf(_SC_CLK_TCK));
    std::ifstream uptime("/proc/uptime");
    double up_s = 0.0;
    uptime >> up_s;
    return (up_s - start_s) * 1000.0;
}

uint8_t picture[platform::kPictureWidth * platform::kPictureHeight * 4];

}  // namespace

int main(int argc, char** argv) {
    const double age_at_main = process_age_ms();
    const auto main_entry = Clock::now();
    start_up();
    const double startup_ms = ms_since(main_entry);
    render_frame(0);
    headless::read_pixels(picture);
    const double first_frame_ms = ms_since(main_entry);

    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    // 66.6 s to 67.9 s: after the last swarm, before the 68 s caption; nothing is drawn.
    uint32_t t = 66600;
    int frames = 0;
    const auto begin = Clock::now();
    double elapsed = 0.0;
    while (elapsed < seconds) {
        render_frame(t);
        headless::read_pixels(picture);
        ++frames;
        t = t + 10 < 67900 ? t + 10 : 66600;
        elapsed = ms_since(begin) / 1000.0;
    }

    std::printf("start-up (main to end of start_up):        %8.1f ms\n", startup_ms);
    std::printf("process start to first frame (read back):  %8.1f ms (main entered at ~%.0f ms)\n",
                age_at_main + first_frame_ms, age_at_main);
    std::printf("empty-script frames with read-back:        %8.1f frames/s\n", frames / elapsed);
    return 0;
}
