// Which frames a capture renders and writes, at which scene times, and which stretch of the song
// goes with them. Pure arithmetic, shared by the capture tool's main thread and its tests.
//
// Frame k of a run at `fps` frames per second is presented k / fps seconds after the visual
// clock was sampled, and draws the scene time a millisecond tick count would show then:
// t_k = floor(k * 1000 / fps). The live loop ends at the first frame past 82,000 ms, so the last
// frame is the last one with t_k <= 82000. The song runs `head_start_ms` ahead of the pictures.
#pragma once

#include <cstdint>

#include "music/music.h"
#include "runtime/runtime.h"

namespace capture {

using platform::kSampleRate;
constexpr uint32_t kMaxFps = 240;         // frames per second; keeps frame numbers to 5 digits

struct Range {
    uint32_t fps;
    uint32_t first_frame;  // first frame written
    uint32_t last_frame;   // last frame written (and rendered); frames before first are rendered only
};

// The scene time of frame k, in ms.
uint32_t frame_time(uint32_t k, uint32_t fps);
// Frames whose scene time lies in [start_ms, end_ms] (end clamped to the demo's end). False if
// there is none.
bool frames_in(uint32_t fps, uint32_t start_ms, uint32_t end_ms, Range& out);
uint32_t frame_count(const Range& r);

// The song's stretch that plays under the written frames, in samples at kSampleRate counted
// from the song's first row: it begins head_start_ms after the first written frame's
// presentation time and lasts as long as the written frames do (frames / fps), both rounded to
// the nearest sample.
struct SongSpan {
    uint64_t first_sample;
    uint64_t samples;
};
SongSpan song_span(const Range& r, uint32_t head_start_ms);

}  // namespace capture
