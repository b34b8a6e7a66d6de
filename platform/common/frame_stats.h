// Frame times of the live program, kept when DEMO_FRAME_STATS=1: each presented frame's time
// since the one before, by the scene it showed; printed at exit as frames per second, median
// and 99th-percentile frame time per scene (the script's scene spans, runtime.h). Nothing is
// allocated: the times go into a fixed histogram per scene. Main thread.
#pragma once

#include <cstdint>

namespace frame_stats {

// Reads DEMO_FRAME_STATS; before the first frame.
void start();
// A frame of scene time t (ms) has just been presented.
void presented(uint32_t t);
// Prints the table on stdout, when kept; at exit.
void print();

}  // namespace frame_stats
