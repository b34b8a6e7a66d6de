// The music of a capture, mixed offline: the sequencer's rows played every 90 ms of song time
// on the headless sound buffers and the mixer run between them. Capture tool, main thread,
// after start_up().
#pragma once

#include <cstdint>
#include <vector>

#include "capture/timeline.h"

namespace capture {

// 8-bit unsigned mono samples at kSampleRate of the song's stretch `span`, the song's first row
// at sample 0. Plays every row from the song's start, so each sample is what the buffers would
// sound at that point of a live run. Call once per process: it drives the one song cursor.
std::vector<uint8_t> mix_song(const SongSpan& span);

}  // namespace capture
