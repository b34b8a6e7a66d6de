// The music: nine synthesized instrument samples in sound buffers and the sequencer thread that
// plays the song on them. Set-up on the main thread; the sequencer thread afterwards.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr uint32_t kRowPeriodMs = 90;  // wait after every row, ms

// Where the sequencer stands in the song.
struct SequencerCursor {
    uint32_t position;  // index into the order list, 0..51
    uint32_t row;       // 0..15
};

// Opens the sound device for this window and fills the nine instrument buffers.
void init_audio(platform::WindowHandle window);
// Fills the 108-entry pitch table. Called once, before start_sequencer.
void build_pitch_table();
// Starts the time-critical sequencer thread, which plays the first row at once.
void start_sequencer();
// Sequencer thread (or a caller driving the song offline): makes the calls of the row at the
// cursor on the instrument buffers, then moves the cursor to the next row, starting the song
// over after its last row.
void sequencer_play_row(SequencerCursor& cursor);
