// The whole song rendered offline through the headless mixer: 832 rows of exactly 90 ms
// (3,969 samples), written as a WAV artifact, rendered twice to the same bytes, and its first
// samples checked against the instrument bytes mixed by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "music/music.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_sound.h"
#include "platform/headless/wav.h"

namespace {

constexpr uint32_t kRate = platform::kSampleRate;
constexpr uint32_t kSongSamples = kSongRows * kRowSamples;

std::vector<uint8_t> render_song() {
    std::vector<uint8_t> out(kSongSamples);
    SequencerCursor cursor{0, 0};
    for (uint32_t r = 0; r < kSongRows; ++r) {
        sequencer_play_row(cursor);
        headless::mix(out.data() + r * kRowSamples, kRowSamples);
    }
    return out;
}

std::string artifact(const char* name) {
    const char* dir = std::getenv("DEMO_TEST_ARTIFACTS");
    std::string path = dir != nullptr ? dir : "/tmp/demo-artifacts";
    std::system(("mkdir -p '" + path + "'").c_str());
    return path + "/" + name;
}

class SongRender : public ::testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        init_audio(nullptr);
        build_pitch_table();
    }
};

}  // namespace

TEST_F(SongRender, FiftyTwoPositionsMakeADeterministicAudibleWav) {
    const std::vector<uint8_t> song = render_song();
    headless::reset_sound();
    const std::vector<uint8_t> again = render_song();
    EXPECT_TRUE(song == again) << "two renders of the song differ";
    EXPECT_EQ(headless::late_sound_calls(), 0u);

    const std::string path = artifact("song.wav");
    ASSERT_TRUE(wav::write_u8_mono(path.c_str(), song.data(), kSongSamples, kRate));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), long(wav::kHeaderBytes + kSongSamples));
    std::fclose(f);
    EXPECT_DOUBLE_EQ(double(kSongSamples) / kRate, 74.88);

    // Level and clipping, as the song sounds with nothing scaled down.
    double sum = 0.0;
    double squares = 0.0;
    uint32_t clipped = 0;
    for (uint8_t s : song) {
        const double v = double(s) - 128.0;
        sum += v;
        squares += v * v;
        if (s == 0 || s == 255) ++clipped;
    }
    const double rms = std::sqrt(squares / kSongSamples);
    std::printf("song: %s, %.2f s, RMS %.1f of 128 (%.1f dBFS), mean %+.1f, %u samples clipped (%.3f %%)\n",
                path.c_str(), double(kSongSamples) / kRate, rms, 20.0 * std::log10(rms / 128.0),
                sum / kSongSamples, clipped, 100.0 * clipped / kSongSamples);
    RecordProperty("rms", std::to_string(rms));
    RecordProperty("clipped_samples", std::to_string(clipped));

    // Every position starts with a note on channel 0, so none of them is silent.
    for (uint32_t p = 0; p < 52; ++p) {
        uint32_t sounding = 0;
        for (uint32_t i = 0; i < kRowSamples; ++i) sounding += song[p * 16 * kRowSamples + i] != 128;
        EXPECT_GT(sounding, kRowSamples / 2) << "position " << p;
    }
}

TEST_F(SongRender, FirstRowMixesItsFourNotesAtTheirRatesAndLevels) {
    // Row 0: instruments 0 and 1 at 16,388 Hz and full level, instrument 2 at 14,600 Hz and
    // -700, instrument 3 at 5,162 Hz and full level. Mixed here by hand, in double precision.
    struct Note {
        int instrument;
        double hz;
        double amplitude;
    };
    const Note notes[] = {{0, 16388, 1.0}, {1, 16388, 1.0}, {2, 14600, std::pow(10.0, -700 / 2000.0)},
                          {3, 5162, 1.0}};
    headless::reset_sound();
    SequencerCursor cursor{0, 0};
    sequencer_play_row(cursor);
    std::vector<uint8_t> out(kRowSamples);
    headless::mix(out.data(), kRowSamples);

    for (uint32_t k = 0; k < 2000; k += 7) {
        double sum = 0.0;
        for (const Note& n : notes) {
            uint32_t bytes = 0;
            const uint8_t* d = platform::sound_lock(instrument_buffers[n.instrument], &bytes);
            ASSERT_NE(d, nullptr);
            const double p = k * n.hz / kRate;
            const uint32_t i = uint32_t(p);
            const double a = d[i] - 128.0;
            const double b = d[i + 1 < bytes ? i + 1 : i] - 128.0;
            sum += n.amplitude * (a + (b - a) * (p - i));
        }
        const double expected = std::fmin(255.0, std::fmax(0.0, std::round(128.0 + sum)));
        ASSERT_NEAR(double(out[k]), expected, 1.0) << "sample " << k;
    }
}
