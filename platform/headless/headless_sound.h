// Headless sound controls beyond headless.h, for the tests and tools that render the song more
// than once in one process. Called from the one thread that drives the demo.
#pragma once

#include <cstdint>

namespace headless {

// Every sound buffer back to its state after set-up (stopped, first sample, format rate, full
// level), calls not yet mixed dropped, sound clock at 0. The samples and the log are kept.
void reset_sound();
// Calls that reached the mixer after the sample they were meant for (none expected offline).
uint32_t late_sound_calls();

}  // namespace headless
