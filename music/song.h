// The song: one constant 1,998-byte block (order list, arrangement rows, pattern records) and
// the addressing that reads it in place. Read by the sequencer thread; nothing writes it.
#pragma once

#include <cstdint>

constexpr uint32_t kSongBlockBytes      = 1998;  // bytes
constexpr uint32_t kSongPositions       = 52;    // order list entries, one byte each
constexpr uint32_t kChannels            = 8;     // channels per arrangement row
constexpr uint32_t kArrangementOffset   = 52;    // byte offset of the arrangement rows
constexpr uint32_t kArrangementRows     = 37;    // rows of kChannels bytes
constexpr uint32_t kPatternOffset       = 348;   // byte offset of the pattern records
constexpr uint32_t kPatternCount        = 50;
constexpr uint32_t kPatternRecordBytes  = 33;    // instrument, 16 note bytes, 16 tie flags
constexpr uint32_t kPatternRows         = 16;    // rows per pattern (and per song position)
constexpr uint32_t kSongRows           = kSongPositions * kPatternRows;  // 832
static_assert(kArrangementOffset == kSongPositions);
static_assert(kPatternOffset == kArrangementOffset + kArrangementRows * kChannels);
static_assert(kSongBlockBytes == kPatternOffset + kPatternCount * kPatternRecordBytes);

extern const uint8_t song_block[kSongBlockBytes];

// Note byte fields: volume index in bits 7-6, octave in 5-4, note in 3-0.
constexpr uint8_t kNoteVolumeChange = 0;   // note field: set the level, no new note
constexpr uint8_t kNoteOff          = 15;  // note field: silence, stop and rewind
constexpr uint32_t kPitchIndexBase  = 59;  // pitch index of octave 0, note 0
constexpr uint32_t kPitchTableSize  = 108; // semitones in the pitch table

// The arrangement row of a song position (0..51).
inline uint32_t song_arrangement_row(uint32_t position) { return song_block[position]; }

// Byte `channel` of an arrangement row: a pattern number, or a byte with bit 7 set for none.
inline uint8_t song_channel_pattern(uint32_t arrangement_row, uint32_t channel) {
    return song_block[kArrangementOffset + kChannels * arrangement_row + channel];
}
inline bool pattern_is_none(uint8_t arrangement_byte) { return (arrangement_byte & 0x80) != 0; }

inline const uint8_t* pattern_record(uint32_t pattern) {
    return song_block + kPatternOffset + kPatternRecordBytes * pattern;
}
inline uint8_t pattern_instrument(uint32_t pattern) { return pattern_record(pattern)[0]; }
inline uint8_t pattern_note(uint32_t pattern, uint32_t row) { return pattern_record(pattern)[1 + row]; }
inline uint8_t pattern_tie(uint32_t pattern, uint32_t row) { return pattern_record(pattern)[17 + row]; }

inline uint32_t note_volume_index(uint8_t note_byte) { return note_byte >> 6; }
inline uint32_t note_octave(uint8_t note_byte) { return (note_byte >> 4) & 3; }
inline uint32_t note_number(uint8_t note_byte) { return note_byte & 15; }
// Pitch table index of a note (note 1..14); octave 3 with notes 13 and 14 lands past the table.
inline uint32_t note_pitch_index(uint8_t note_byte) {
    return kPitchIndexBase + 12 * note_octave(note_byte) + note_number(note_byte);
}
