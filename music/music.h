// The music: nine synthesized instrument samples in sound buffers and the sequencer thread that
// plays the song on them. Set-up on the main thread; the sequencer thread afterwards.
#pragma once

#include <atomic>
#include <cstdint>

#include "music/song.h"
#include "music/synth.h"
#include "platform/platform.h"

constexpr uint32_t kRowPeriodMs = 90;  // wait after every row, ms
// A row's length in output samples at the sound format's rate: 3,969.
constexpr uint32_t kRowSamples = kRowPeriodMs * platform::kSampleRate / 1000;
static_assert(kRowPeriodMs * platform::kSampleRate % 1000 == 0, "a row is a whole number of samples");

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

// The sequencer thread's entry: plays a row, waits kRowPeriodMs on its own handle, and so on,
// from position 0, row 0, until the process ends. Ignores its parameter.
void sequencer_thread_proc(void* parameter);
// The calls one channel makes for one note byte and tie flag on its instrument buffer (nothing
// for an empty byte, a null buffer or a pitch past the table). Sequencer thread.
void play_note_byte(platform::SoundBufferHandle buffer, uint8_t note_byte, uint8_t tie_flag);

// One buffer per instrument, filled once by init_audio; null where the device, the buffer or its
// lock could not be had. Read-only afterwards, by the sequencer thread.
extern platform::SoundBufferHandle instrument_buffers[kInstrumentCount];
// Playback rates in Hz, one per semitone, entry 0 the lowest; built before the thread starts.
extern int32_t pitch_table[kPitchTableSize];
// Levels in hundredths of a decibel by a note byte's volume index.
extern const int32_t volume_table[4];
// Stored once by the main thread right after creating the thread; read by the thread for its
// waits. Atomic only so that the one unordered write and read are defined; relaxed, no fences.
extern std::atomic<platform::ThreadHandle> sequencer_thread_handle;
