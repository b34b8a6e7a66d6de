// Frame times and the song's stretch for a capture. Capture tool, main thread.
#include "capture/timeline.h"

namespace capture {

namespace {

// n / d rounded to nearest, halves up; n, d > 0 and small enough not to overflow.
uint64_t divide_rounded(uint64_t n, uint64_t d) { return (n + d / 2) / d; }

}  // namespace

uint32_t frame_time(uint32_t k, uint32_t fps) { return uint32_t(uint64_t(k) * 1000 / fps); }

bool frames_in(uint32_t fps, uint32_t start_ms, uint32_t end_ms, Range& out) {
    if (fps == 0 || start_ms > end_ms) return false;
    if (end_ms > kScriptEnd) end_ms = kScriptEnd;
    // floor(k * 1000 / fps) >= start  <=>  k >= start * fps / 1000
    const uint64_t first = (uint64_t(start_ms) * fps + 999) / 1000;
    // floor(k * 1000 / fps) <= end  <=>  k * 1000 < (end + 1) * fps
    const uint64_t last = ((uint64_t(end_ms) + 1) * fps - 1) / 1000;
    if (first > last) return false;
    out = {fps, uint32_t(first), uint32_t(last)};
    return true;
}

uint32_t frame_count(const Range& r) { return r.last_frame - r.first_frame + 1; }

SongSpan song_span(const Range& r, uint32_t head_start_ms) {
    // In tenths of a sample per frame period: 44.1 samples per ms is 441 tenths.
    const uint64_t tenths_per_ms = kSampleRate / 100;
    const uint64_t start = uint64_t(r.first_frame) * 1000 * tenths_per_ms +
                           uint64_t(head_start_ms) * tenths_per_ms * r.fps;
    const uint64_t length = uint64_t(frame_count(r)) * 1000 * tenths_per_ms;
    return {divide_rounded(start, 10ull * r.fps), divide_rounded(length, 10ull * r.fps)};
}

}  // namespace capture
