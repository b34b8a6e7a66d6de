// The capture's progress bar: frames done of the total, rate, speed against real time and time
// left, redrawn on one line of stderr; silent when stderr is not a terminal. Capture tool,
// main thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace capture {

struct Progress {
    bool on = false;
    uint32_t total = 0;  // frames to render
    uint32_t fps = 60;   // of the capture: the frames of one second of demo
    std::chrono::steady_clock::time_point begin, last_drawn;
};

void progress_start(Progress& p, uint32_t total_frames, uint32_t fps);
// After each rendered frame.
void progress_update(Progress& p, uint32_t done);
// Ends the bar's line and, on a terminal, prints a summary.
void progress_end(Progress& p, const std::string& summary);
// Seconds since progress_start.
double progress_seconds(const Progress& p);

}  // namespace capture
