// Offline mix of the song for a capture. Capture tool, main thread.
#include "capture/soundtrack.h"

#include <algorithm>

#include "music/music.h"
#include "platform/headless/headless.h"

namespace capture {

std::vector<uint8_t> mix_song(const SongSpan& span) {
    std::vector<uint8_t> out(span.samples);
    uint8_t block[kRowSamples];
    const uint64_t end = span.first_sample + span.samples;
    SequencerCursor cursor = {0, 0};
    // Row by row from the song's start: each row's calls take effect at the first sample of the
    // block mixed after them, exactly on the row's 90 ms boundary.
    for (uint64_t row_start = 0; row_start < end; row_start += kRowSamples) {
        sequencer_play_row(cursor);
        headless::mix(block, kRowSamples);
        const uint64_t from = std::max(row_start, span.first_sample);
        const uint64_t to = std::min(row_start + kRowSamples, end);
        if (from < to)
            std::copy(block + (from - row_start), block + (to - row_start), out.begin() + long(from - span.first_sample));
    }
    return out;
}

}  // namespace capture
