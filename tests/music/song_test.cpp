// Song block and pitch table: the block's layout and addressing, the note-byte fields, the song's
// counted facts, and the playback rates the notes reach.
#include <gtest/gtest.h>

#include <set>

#include "music/music.h"

namespace {

constexpr uint8_t kNone = 255;

struct PositionCase {
    uint32_t position;
    uint32_t arrangement_row;
    uint8_t patterns[kChannels];
};
const PositionCase kPositions[] = {
    {0, 0, {0, 12, 24, kNone, 37, kNone, kNone, kNone}},
    {51, 36, {3, 15, 28, kNone, 37, 41, 43, 49}},
};

struct NoteCase {
    uint8_t byte;
    uint32_t volume_index, octave, note, pitch_index;
};
const NoteCase kNotes[] = {
    {0xE1, 3, 2, 1, 84},
    {0x50, 1, 1, 0, 0},  // a volume change: no pitch
    {0xAA, 2, 2, 10, 93},
};

// Pattern numbers by instrument, as the channels use them.
int expected_instrument(uint32_t pattern) {
    if (pattern <= 11) return 0;
    if (pattern <= 23) return 1;
    if (pattern <= 32) return 2;
    if (pattern <= 35) return 7;
    if (pattern == 36) return 6;
    if (pattern <= 42) return 3;
    if (pattern == 43) return 4;
    if (pattern <= 48) return 6;
    return 8;
}

}  // namespace

TEST(Song, BlockLayoutAndPositionsResolve) {
    EXPECT_EQ(sizeof song_block, 1998u);
    for (const PositionCase& c : kPositions) {
        SCOPED_TRACE(testing::Message() << "position " << c.position);
        ASSERT_EQ(song_arrangement_row(c.position), c.arrangement_row);
        for (uint32_t channel = 0; channel < kChannels; ++channel) {
            const uint8_t pattern = song_channel_pattern(c.arrangement_row, channel);
            EXPECT_EQ(pattern, c.patterns[channel]) << "channel " << channel;
            EXPECT_EQ(pattern_is_none(pattern), c.patterns[channel] == kNone) << "channel " << channel;
        }
    }
    // The record addressing lands on the bytes of the description: pattern 36 names
    // instrument 6 although its channel plays instrument 7 elsewhere, and its row 3 is 0xF7.
    EXPECT_EQ(pattern_instrument(36), 6);
    EXPECT_EQ(pattern_note(36, 3), 0xF7);
    EXPECT_EQ(song_block[348 + 33 * 36 + 1 + 3], 0xF7);
    EXPECT_EQ(pattern_note(49, 15), 0xEA);  // the block's last note byte
    EXPECT_EQ(&song_block[kSongBlockBytes - 1], &pattern_record(49)[32]);
}

TEST(Song, NoteBytesDecode) {
    for (const NoteCase& c : kNotes) {
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int(c.byte));
        EXPECT_EQ(note_volume_index(c.byte), c.volume_index);
        EXPECT_EQ(note_octave(c.byte), c.octave);
        EXPECT_EQ(note_number(c.byte), c.note);
        if (c.note != 0) {
            EXPECT_EQ(note_pitch_index(c.byte), c.pitch_index);
        }
    }
}

TEST(Song, CountedFactsOfThePatterns) {
    uint32_t notes = 0, volume_changes = 0, note_offs = 0, ties = 0;
    uint32_t lowest_pitch = 1000, highest_pitch = 0;
    for (uint32_t pattern = 0; pattern < kPatternCount; ++pattern) {
        EXPECT_EQ(pattern_instrument(pattern), expected_instrument(pattern)) << "pattern " << pattern;
        for (uint32_t row = 0; row < kPatternRows; ++row) {
            const uint8_t b = pattern_note(pattern, row);
            ties += pattern_tie(pattern, row) != 0;
            if (b == 0) continue;
            const uint32_t note = note_number(b);
            if (note == 0) {
                ++volume_changes;
            } else if (note == 15) {
                ++note_offs;
            } else {
                ++notes;
                lowest_pitch = std::min(lowest_pitch, note_pitch_index(b));
                highest_pitch = std::max(highest_pitch, note_pitch_index(b));
            }
        }
    }
    EXPECT_EQ(notes, 293u);
    EXPECT_EQ(volume_changes, 27u);
    EXPECT_EQ(note_offs, 0u);
    EXPECT_EQ(ties, 0u);
    EXPECT_EQ(lowest_pitch, 64u);
    EXPECT_EQ(highest_pitch, 107u);

    // The order list names all 37 arrangement rows, and they name all 50 patterns.
    std::set<uint32_t> rows, patterns;
    for (uint32_t p = 0; p < kSongPositions; ++p) rows.insert(song_arrangement_row(p));
    for (uint32_t a = 0; a < kArrangementRows; ++a)
        for (uint32_t c = 0; c < kChannels; ++c)
            if (!pattern_is_none(song_channel_pattern(a, c))) patterns.insert(song_channel_pattern(a, c));
    EXPECT_EQ(rows.size(), 37u);
    EXPECT_EQ(*rows.rbegin(), 36u);
    EXPECT_EQ(patterns.size(), 50u);
    EXPECT_EQ(*patterns.rbegin(), 49u);
}

TEST(PitchTable, TellingEntriesAndEveryReachableNote) {
    build_pitch_table();
    const int32_t telling[][2] = {{0, 128}, {12, 256}, {34, 913}, {48, 2048}, {60, 4097},
                                  {84, 16388}, {101, 43751}, {107, 61873}};
    for (const auto& e : telling) EXPECT_EQ(pitch_table[e[0]], e[1]) << "entry " << e[0];

    // By octave field 0..3 and note 1..12: entries 60..107.
    const int32_t reachable[4][12] = {
        { 4097,  4341,  4599,  4872,  5162,  5469,  5794,  6139,  6504,  6890,  7300,  7734},
        { 8194,  8681,  9197,  9744, 10324, 10938, 11588, 12277, 13007, 13781, 14600, 15468},
        {16388, 17362, 18395, 19489, 20648, 21875, 23176, 24554, 26014, 27561, 29200, 30936},
        {32776, 34725, 36790, 38977, 41295, 43751, 46352, 49109, 52029, 55122, 58400, 61873},
    };
    for (uint32_t octave = 0; octave < 4; ++octave)
        for (uint32_t note = 1; note <= 12; ++note) {
            const uint8_t b = uint8_t(octave << 4 | note);
            EXPECT_EQ(pitch_table[note_pitch_index(b)], reachable[octave][note - 1])
                << "octave " << octave << ", note " << note;
        }
}

namespace {

// CRC-32 as zip and PNG use it (reflected polynomial 0xEDB88320, all ones in and out).
uint32_t crc32(const uint8_t* data, size_t n) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

}  // namespace

TEST(Song, EachTableMatchesTheDigestOfTheListing) {
    // CRC-32 of each table as the song's listing writes it out: the 52 order entries; the 37
    // arrangement rows of 8 bytes (255 for none); the 50 records of instrument, 16 note bytes
    // and 16 zero tie flags. Worked out from the listing with a general-purpose CRC-32 (Python's
    // zlib.crc32), so a moved order entry or a changed note byte shows here.
    ASSERT_EQ(crc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);  // the standard check value
    const struct {
        const char* table;
        uint32_t offset, bytes, crc;
    } tables[] = {
        {"order list", 0, 52, 0x2FB92BEAu},
        {"arrangement rows", 52, 296, 0x276F15C6u},
        {"pattern records", 348, 1650, 0x96FF0C0Au},
        {"whole block", 0, 1998, 0x3F1AF991u},
    };
    for (const auto& t : tables)
        EXPECT_EQ(crc32(song_block + t.offset, t.bytes), t.crc) << t.table;
}
