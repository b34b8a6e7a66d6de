// Headless sound controls beyond headless.h, for the tests and tools that render the song more
// than once in one process. Called from the one thread that drives the demo.
#pragma once

#include <cstdint>

#include "platform/headless/headless.h"

namespace headless {

// Every sound buffer back to its state after set-up (stopped, first sample, format rate, full
// level), calls not yet mixed dropped, sound clock at 0. The samples and the log are kept.
void reset_sound();
// Calls that reached the mixer after the sample they were meant for (none expected offline).
uint32_t late_sound_calls();
// The sound half of reset(): no device set up, no buffers, an empty log, a device available.
void forget_sound_set_up();
// Adds a call to the platform call log (headless.h) and tells its observer.
void record_platform_call(PlatformOp op);

}  // namespace headless
