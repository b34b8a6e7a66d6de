// The sequencer: the pitch and volume tables, the thread start and the row step that restarts,
// re-pitches and re-levels the instrument buffers. build_pitch_table and start_sequencer run on
// the main thread at start-up; everything else on the sequencer thread (or on a caller driving
// the song offline through sequencer_play_row). The thread does integer table look-ups only.
#include "music/music.h"

int32_t pitch_table[kPitchTableSize];

// By a note byte's volume index; hundredths of a decibel.
// QUIRK: index 1 is the quieter middle step (-800), index 2 the louder (-700).
const int32_t volume_table[4] = {-10000, -800, -700, 0};

std::atomic<platform::ThreadHandle> sequencer_thread_handle;

namespace {

constexpr float kPitchStart   = 16351.5f;    // f of entry 0, before the divisor
constexpr float kPitchDivisor = 127.71543f;  // f / divisor is the rate in Hz
// QUIRK: a little above the twelfth root of two; entries 34, 103 and 104 depend on it.
constexpr float kSemitoneRatio = 1.0594631f;

constexpr int32_t kSilence = -10000;  // hundredths of a decibel

}  // namespace

void build_pitch_table() {
    float f = kPitchStart;
    for (uint32_t i = 0; i < kPitchTableSize; ++i) {
        pitch_table[i] = int32_t(round_half_even(f / kPitchDivisor));
        f *= kSemitoneRatio;
    }
}

void play_note_byte(platform::SoundBufferHandle buffer, uint8_t note_byte, uint8_t tie_flag) {
    if (note_byte == 0 || buffer == nullptr) return;
    const int32_t volume = volume_table[note_volume_index(note_byte)];
    const uint32_t note = note_number(note_byte);

    if (note == kNoteVolumeChange) {
        // No stop, no rewind: a sample that has played out starts again from its first byte.
        platform::sound_set_volume(buffer, volume);
        platform::sound_play(buffer);
        return;
    }
    if (note == kNoteOff) {
        platform::sound_set_volume(buffer, kSilence);
        platform::sound_stop(buffer);
        platform::sound_set_position(buffer, 0);
        return;
    }
    const uint32_t pitch = note_pitch_index(note_byte);
    if (pitch >= kPitchTableSize) return;  // octave 3, notes 13 and 14: no such pitch, no sound
    if (tie_flag != 1) {
        platform::sound_stop(buffer);
        platform::sound_set_position(buffer, 0);
    }
    platform::sound_set_frequency(buffer, uint32_t(pitch_table[pitch]));
    platform::sound_set_volume(buffer, volume);
    platform::sound_play(buffer);
}

void sequencer_play_row(SequencerCursor& cursor) {
    // A cursor past the song starts it over, so nothing beyond the order list is taken for a position.
    if (cursor.position >= kSongPositions || cursor.row >= kPatternRows) cursor = {0, 0};

    const uint32_t arrangement_row = song_arrangement_row(cursor.position);
    // Channels in order: where two name the same instrument, the higher one's calls decide.
    for (uint32_t channel = 0; channel < kChannels; ++channel) {
        const uint8_t pattern = song_channel_pattern(arrangement_row, channel);
        if (pattern_is_none(pattern)) continue;  // whatever the channel started goes on sounding
        play_note_byte(instrument_buffers[pattern_instrument(pattern)],
                       pattern_note(pattern, cursor.row), pattern_tie(pattern, cursor.row));
    }

    if (++cursor.row == kPatternRows) {
        cursor.row = 0;
        // After the last position the song starts over from position 0.
        if (++cursor.position == kSongPositions) cursor.position = 0;
    }
}

void sequencer_thread_proc(void*) {
    SequencerCursor cursor = {0, 0};
    for (;;) {
        sequencer_play_row(cursor);
        // Relative wait after every row, the first included: the lag of each row is never made up.
        platform::wait_on_thread(sequencer_thread_handle.load(std::memory_order_relaxed), kRowPeriodMs);
    }
}

void start_sequencer() {
    const platform::ThreadHandle thread = platform::create_thread(sequencer_thread_proc);
    sequencer_thread_handle.store(thread, std::memory_order_relaxed);
    // The first row may already be playing at normal priority.
    if (thread != nullptr) platform::set_thread_time_critical(thread);
}
