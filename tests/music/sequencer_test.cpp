// Sound set-up and the sequencer, on the calls the headless backend records. Each test starts
// from a reset backend, so the buffers are numbered 0..8 in creation order, which is instrument
// order, whether the tests share one process or not.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "music/music.h"
#include "music/synth.h"
#include "platform/headless/headless.h"

namespace {

using headless::SoundOp;

std::string describe(const headless::SoundCall& call) {
    static const char* const names[] = {"create_device", "cooperative_level", "create_primary", "set_format",
                                        "create_buffer", "lock", "unlock", "stop", "set_position",
                                        "set_frequency", "set_volume", "play"};
    std::ostringstream text;
    text << names[int(call.op)];
    if (call.buffer >= 0) text << " b" << int(call.buffer);
    if (call.op == SoundOp::create_buffer || call.op == SoundOp::unlock || call.op == SoundOp::set_position ||
        call.op == SoundOp::set_frequency || call.op == SoundOp::set_volume)
        text << " " << call.argument;
    return text.str();
}

// The log as one line per call, so a mismatch shows where the sequence parts.
std::string logged(uint32_t from = 0) {
    std::string text;
    for (uint32_t i = from; i < headless::sound_log_size(); ++i) text += describe(headless::sound_log()[i]) + "\n";
    return text;
}

std::string call(const char* op, int buffer, long argument) {
    return std::string(op) + " b" + std::to_string(buffer) + " " + std::to_string(argument) + "\n";
}
std::string call(const char* op, int buffer) { return std::string(op) + " b" + std::to_string(buffer) + "\n"; }

// A note restarts the sample: stop, rewind, pitch, level, play.
std::string note(int buffer, int hz, int volume) {
    return call("stop", buffer) + call("set_position", buffer, 0) + call("set_frequency", buffer, hz) +
           call("set_volume", buffer, volume) + call("play", buffer);
}
std::string tied_note(int buffer, int hz, int volume) {
    return call("set_frequency", buffer, hz) + call("set_volume", buffer, volume) + call("play", buffer);
}
// A volume change sets the level and plays, without stop or rewind.
std::string volume_change(int buffer, int volume) { return call("set_volume", buffer, volume) + call("play", buffer); }
std::string note_off(int buffer) {
    return call("set_volume", buffer, -10000) + call("stop", buffer) + call("set_position", buffer, 0);
}

// Position 0, row 0: channels 0, 1, 2 and 4; 3, 5, 6 and 7 have no pattern.
const std::string kFirstRow = note(0, 16388, 0) + note(1, 16388, 0) + note(2, 14600, -700) + note(3, 5162, 0);

class Audio : public testing::Test {
protected:
    void SetUp() override { headless::reset(); }
};

class Sequencer : public testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        init_audio(platform::create_window());
        build_pitch_table();
        headless::sound_log_clear();
    }
    // The calls of the row at the cursor; the cursor moves on.
    std::string play(SequencerCursor& cursor) {
        headless::sound_log_clear();
        sequencer_play_row(cursor);
        return logged();
    }
    std::string play(uint32_t position, uint32_t row) {
        SequencerCursor cursor = {position, row};
        return play(cursor);
    }
};

}  // namespace

TEST_F(Audio, SetUpCallsInOrderWithTheRowLengths) {
    init_audio(platform::create_window());
    std::string expected = "create_device\ncooperative_level\ncreate_primary\nset_format\n";
    for (int i = 0; i < kInstrumentCount; ++i) {
        const int bytes = i == 2 ? 16500 : 4096;
        expected += call("create_buffer", i, bytes) + call("lock", i) + call("unlock", i, bytes);
    }
    EXPECT_EQ(logged(), expected);
    for (platform::SoundBufferHandle buffer : instrument_buffers) EXPECT_NE(buffer, nullptr);
}

TEST_F(Audio, EachBufferHoldsItsOwnRowsSample) {
    // Buffer i holds what the synthesizer renders for row i (whose bytes the synthesizer tests
    // hold against the worked sums and first bytes), all of it, and no other row's.
    init_audio(platform::create_window());
    for (int i = 0; i < kInstrumentCount; ++i) {
        SCOPED_TRACE(testing::Message() << "buffer " << i);
        uint32_t bytes = 0;
        const uint8_t* held = platform::sound_lock(instrument_buffers[i], &bytes);
        ASSERT_NE(held, nullptr);
        const InstrumentParams row = instrument_params(i);
        ASSERT_EQ(bytes, row.sample_count);
        std::vector<uint8_t> rendered(row.sample_count);
        render_instrument(row, rendered.data());
        EXPECT_TRUE(std::equal(rendered.begin(), rendered.end(), held)) << "not row " << i << "'s sample";
    }
}

TEST_F(Audio, NoDeviceStartsSilentlyAndTheSongMakesNoCalls) {
    headless::set_sound_device_available(false);
    init_audio(platform::create_window());
    EXPECT_EQ(logged(), "create_device\n");
    for (platform::SoundBufferHandle buffer : instrument_buffers) EXPECT_EQ(buffer, nullptr);

    build_pitch_table();
    start_sequencer();
    SequencerCursor cursor = {0, 0};
    for (uint32_t row = 0; row < kSongPositions * kPatternRows; ++row) sequencer_play_row(cursor);
    EXPECT_EQ(logged(), "create_device\n");
}

TEST_F(Sequencer, FirstRowOfTheSong) {
    SequencerCursor cursor = {0, 0};
    EXPECT_EQ(play(cursor), kFirstRow);
    EXPECT_EQ(cursor.position, 0u);
    EXPECT_EQ(cursor.row, 1u);
}

TEST_F(Sequencer, VolumeChangeLeavesTheSampleRunning) {
    // Position 28 (arrangement row 20), row 4: channel 2 byte 0x50 on instrument 2 (level -800,
    // octave field ignored), channel 7 byte 0xEC on instrument 6 (octave 2, note 12: 30936 Hz).
    EXPECT_EQ(play(28, 4), volume_change(2, -800) + note(6, 30936, 0));
}

TEST_F(Sequencer, ChannelsSharingInstrumentSixAtPositions40And42) {
    for (uint32_t position : {40u, 42u}) {
        SCOPED_TRACE(testing::Message() << "position " << position);
        // Row 3: channel 3 starts 0xF7 (46352 Hz), channel 5's 0xB0 re-levels instrument 3, then
        // channel 7's 0x60 turns channel 3's note down to -800.
        EXPECT_EQ(play(position, 3), note(6, 46352, 0) + volume_change(3, -700) + volume_change(6, -800));
        // Row 6: channel 3's 0xD7 (11588 Hz) is restarted at once by channel 7's 0xDC (15468 Hz).
        EXPECT_EQ(play(position, 6), note(6, 11588, 0) + note(3, 55122, 0) + note(6, 15468, 0));
    }
}

TEST_F(Sequencer, RowsAdvanceAndTheSongStartsOverAfterItsLastRow) {
    SequencerCursor cursor = {0, 15};
    play(cursor);
    EXPECT_EQ(cursor.position, 1u);
    EXPECT_EQ(cursor.row, 0u);

    // Position 51, row 15: channels 5, 6 and 7 (0xAA on 3, 0xA7 on 4, 0xEA on 8), then position 0.
    cursor = {51, 15};
    EXPECT_EQ(play(cursor), note(3, 27561, -700) + note(4, 23176, -700) + note(8, 27561, 0));
    EXPECT_EQ(cursor.position, 0u);
    EXPECT_EQ(cursor.row, 0u);
    EXPECT_EQ(play(cursor), kFirstRow);

    // A whole pass of 832 rows comes back to the start; position 4 replays position 0's patterns
    // from their row 0, and a cursor past the song starts it over.
    cursor = {0, 0};
    for (uint32_t row = 0; row < kSongPositions * kPatternRows; ++row) sequencer_play_row(cursor);
    EXPECT_EQ(cursor.position, 0u);
    EXPECT_EQ(cursor.row, 0u);
    EXPECT_EQ(play(4, 0), kFirstRow);
    EXPECT_EQ(play(52, 0), kFirstRow);
}

TEST_F(Sequencer, EachKindOfNoteByte) {
    // Instrument 5's buffer, which the song never names.
    platform::SoundBufferHandle buffer = instrument_buffers[5];
    struct Case {
        uint8_t byte, tie;
        std::string calls;
    };
    const Case cases[] = {
        {0x00, 1, ""},                          // empty, whatever the tie flag
        {0xE1, 0, note(5, 16388, 0)},
        {0xE1, 2, note(5, 16388, 0)},           // only a tie flag of 1 ties
        {0xE1, 1, tied_note(5, 16388, 0)},      // pitch and level change, no stop, no rewind
        {0x50, 1, volume_change(5, -800)},      // the tie flag matters for notes only
        {0xFF, 0, note_off(5)},                 // level, octave ignored; no play
        {0x3F, 1, note_off(5)},
        {0x3C, 0, note(5, 61873, -10000)},      // octave 3, note 12: the last entry
        {0x7D, 0, ""},                          // octave 3, note 13: past the table, nothing
        {0x7E, 1, ""},                          // octave 3, note 14
        {0x2D, 0, note(5, 32776, -10000)},      // octave 2, note 13 is octave 3, note 1
    };
    for (const Case& c : cases) {
        headless::sound_log_clear();
        play_note_byte(buffer, c.byte, c.tie);
        EXPECT_EQ(logged(), c.calls) << "byte 0x" << std::hex << int(c.byte) << ", tie " << int(c.tie);
    }
    headless::sound_log_clear();
    play_note_byte(nullptr, 0xE1, 0);
    EXPECT_EQ(logged(), "");
}

namespace {

uint32_t waits_seen;
uint32_t log_size_at_wait[3];
platform::ThreadHandle waited_on[3];
uint32_t waited_ms[3];
struct EnoughWaits {};

void observe_wait(platform::ThreadHandle thread, uint32_t ms) {
    log_size_at_wait[waits_seen] = headless::sound_log_size();
    waited_on[waits_seen] = thread;
    waited_ms[waits_seen] = ms;
    if (++waits_seen == 3) throw EnoughWaits{};
}

}  // namespace

TEST_F(Sequencer, ThreadPlaysTheFirstRowBeforeItsFirstWait) {
    waits_seen = 0;
    start_sequencer();
    ASSERT_EQ(headless::started_thread(), &sequencer_thread_proc);
    const platform::ThreadHandle handle = sequencer_thread_handle.load();
    ASSERT_NE(handle, nullptr);

    headless::sound_log_clear();
    headless::set_wait_observer(observe_wait);
    EXPECT_THROW(headless::started_thread()(nullptr), EnoughWaits);
    headless::set_wait_observer(nullptr);

    // Row 0 makes 20 calls, row 1 none, row 2 one note on channel 2 (0x5B: 14600 Hz at -800).
    EXPECT_EQ(logged(), kFirstRow + note(2, 14600, -800));
    EXPECT_EQ(log_size_at_wait[0], 20u);
    EXPECT_EQ(log_size_at_wait[1], 20u);
    EXPECT_EQ(log_size_at_wait[2], 25u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(waited_on[i], handle) << "wait " << i;
        EXPECT_EQ(waited_ms[i], 90u) << "wait " << i;
    }
}
