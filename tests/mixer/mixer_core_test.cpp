// The mixer core, driven directly: one-shot playing, restarts, stop, volume, resampling,
// clipping, and calls placed at the sample their stamp names.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/common/mixer.h"

namespace {

mixer::Mixer the_mixer;  // 64 KiB of samples: static, like the backends' own

// A fresh mixer at 44,100 Hz with one voice of `bytes` bytes, all of value `level`.
int fresh_voice(uint32_t bytes, uint8_t level) {
    mixer::init(the_mixer, 44100);
    const int v = mixer::add_voice(the_mixer, bytes, 44100);
    std::memset(mixer::voice_data(the_mixer, v), level, bytes);
    return v;
}

void call(int voice, mixer::Op op, int32_t argument = 0) {
    ASSERT_TRUE(mixer::post(the_mixer, voice, op, argument, the_mixer.clock));
}

std::vector<uint8_t> render(uint32_t n) {
    std::vector<uint8_t> out(n);
    mixer::render(the_mixer, out.data(), n, mixer::kStampsAreSamples);
    return out;
}

// Length of the leading run of samples different from silence (128).
uint32_t sounding_run(const std::vector<uint8_t>& out) {
    uint32_t n = 0;
    while (n < out.size() && out[n] != 128) ++n;
    return n;
}

bool all_silent(const std::vector<uint8_t>& out, size_t from = 0) {
    for (size_t i = from; i < out.size(); ++i)
        if (out[i] != 128) return false;
    return true;
}

}  // namespace

TEST(MixerVoice, OneShotPlaysItsBytesOnceThenStops) {
    const int v = fresh_voice(1000, 128);
    uint8_t* d = mixer::voice_data(the_mixer, v);
    for (int i = 0; i < 1000; ++i) d[i] = uint8_t(129 + i % 100);  // never silent
    call(v, mixer::Op::play);
    const std::vector<uint8_t> out = render(3000);
    // At the format rate each byte is one output sample, as it stands.
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(out[i], d[i]) << "sample " << i;
    EXPECT_TRUE(all_silent(out, 1000));
    EXPECT_FALSE(the_mixer.voices[v].playing);
    EXPECT_EQ(the_mixer.voices[v].position, 0u) << "a finished buffer stands at its first sample";
}

TEST(MixerVoice, PlayAfterTheEndSoundsTheSampleFromItsStartAgain) {
    const int v = fresh_voice(500, 128);
    uint8_t* d = mixer::voice_data(the_mixer, v);
    for (int i = 0; i < 500; ++i) d[i] = uint8_t(130 + i % 120);
    call(v, mixer::Op::play);
    render(800);
    call(v, mixer::Op::play);  // no stop, no rewind
    const std::vector<uint8_t> again = render(800);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(again[i], d[i]) << "sample " << i;
    EXPECT_TRUE(all_silent(again, 500));
}

TEST(MixerVoice, PlayOnASoundingBufferGoesOnUndisturbed) {
    const int v = fresh_voice(1000, 128);
    uint8_t* d = mixer::voice_data(the_mixer, v);
    for (int i = 0; i < 1000; ++i) d[i] = uint8_t(129 + i % 127);
    call(v, mixer::Op::play);
    const std::vector<uint8_t> first = render(300);
    call(v, mixer::Op::play);
    const std::vector<uint8_t> rest = render(1000);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(first[i], d[i]);
    for (int i = 0; i < 700; ++i) ASSERT_EQ(rest[i], d[300 + i]) << "sample " << 300 + i;
    EXPECT_TRUE(all_silent(rest, 700));
}

TEST(MixerVoice, StopSilencesInTheSameBlockAndKeepsThePosition) {
    const int v = fresh_voice(2000, 128);
    uint8_t* d = mixer::voice_data(the_mixer, v);
    for (int i = 0; i < 2000; ++i) d[i] = uint8_t(140 + i % 100);
    call(v, mixer::Op::play);
    render(500);
    call(v, mixer::Op::stop);
    EXPECT_TRUE(all_silent(render(512)));
    // A play without a rewind goes on from where it stopped; with a rewind, from the start.
    call(v, mixer::Op::play);
    EXPECT_EQ(render(1)[0], d[500]);
    call(v, mixer::Op::stop);
    call(v, mixer::Op::set_position, 0);
    call(v, mixer::Op::play);
    EXPECT_EQ(render(1)[0], d[0]);
}

TEST(MixerVoice, VolumeSetsTheAmplitudeAndAppliesToASoundingBuffer) {
    // Bytes 228 are +100 about the silent 128.
    struct Case {
        int32_t centibels;
        double amplitude;
    };
    const Case cases[] = {{0, 1.0}, {-600, 0.5}, {-2000, 0.1}, {-10000, 0.0}};
    for (const Case& c : cases) {
        const int v = fresh_voice(4000, 228);
        call(v, mixer::Op::play);
        EXPECT_EQ(render(100)[50], 228);
        call(v, mixer::Op::set_volume, c.centibels);  // while sounding
        const std::vector<uint8_t> out = render(100);
        // The whole block already at the new level; +-1 % plus the byte's rounding.
        for (uint8_t s : out) ASSERT_NEAR(double(s) - 128.0, 100.0 * c.amplitude, 1.0 + 0.5) << c.centibels;
    }
    EXPECT_EQ(mixer::gain_of_volume(-10000), 0);
    EXPECT_NEAR(mixer::gain_of_volume(-600) / 65536.0, 0.5, 0.005);
}

TEST(MixerVoice, SampleAt22050HzLastsTwiceItsLengthWithInterpolatedMidpoints) {
    const int v = fresh_voice(4096, 128);
    uint8_t* d = mixer::voice_data(the_mixer, v);
    for (int i = 0; i < 4096; ++i) d[i] = uint8_t(i % 2 == 0 ? 140 : 180);  // never silent, steps of 40
    call(v, mixer::Op::set_frequency, 22050);
    call(v, mixer::Op::play);
    const std::vector<uint8_t> out = render(10000);
    // 4,096 bytes at 22,050 Hz: 185.76 ms, 8,192 samples of 44,100 Hz output.
    EXPECT_NEAR(double(sounding_run(out)), 4096.0 / 22050.0 * 44100.0, 1.0);
    EXPECT_TRUE(all_silent(out, 8193));
    // Every other output sample falls half way between two bytes.
    EXPECT_EQ(out[0], 140);
    EXPECT_EQ(out[1], 160);
    EXPECT_EQ(out[2], 180);
    EXPECT_EQ(out[3], 160);
}

TEST(MixerVoice, FrequencyChangeAppliesWhileSounding) {
    const int v = fresh_voice(4000, 200);
    call(v, mixer::Op::play);
    render(1000);  // 1,000 bytes played at 44,100 Hz
    call(v, mixer::Op::set_frequency, 88200);  // the other 3,000 at twice the rate
    EXPECT_EQ(sounding_run(render(3000)), 1500u);
}

TEST(MixerMix, SumsVoicesAndClipsWithoutScalingDown) {
    mixer::init(the_mixer, 44100);
    const int a = mixer::add_voice(the_mixer, 100, 44100);
    const int b = mixer::add_voice(the_mixer, 100, 44100);
    std::memset(mixer::voice_data(the_mixer, a), 178, 100);  // +50
    std::memset(mixer::voice_data(the_mixer, b), 158, 100);  // +30
    call(a, mixer::Op::play);
    call(b, mixer::Op::play);
    EXPECT_EQ(render(10)[0], 208) << "+50 and +30 make +80, not their average";
    std::memset(mixer::voice_data(the_mixer, b), 250, 100);  // +122
    EXPECT_EQ(render(10)[0], 255) << "+172 clips at the top";
    std::memset(mixer::voice_data(the_mixer, a), 0, 100);  // -128
    std::memset(mixer::voice_data(the_mixer, b), 20, 100);  // -108
    EXPECT_EQ(render(10)[0], 0) << "-236 clips at the bottom";
}

TEST(MixerMix, OutputIsTheVoicesSumRoundedToTheNearestLevel) {
    // Three voices at different rates (whole, half and three-quarter steps through their bytes)
    // and levels, against the sum worked out in floating point from the decibel law and linear
    // interpolation. The levels' products fall between byte values, so the rounding shows;
    // samples whose exact sum lies within 0.02 of a half are left out (the gain's 16-bit
    // precision may tip those either way).
    struct Voice {
        uint32_t hz;
        int32_t centibels;
        int amplitude, stride, offset;  // bytes 128 + (i * stride + offset) % (2a + 1) - a
    };
    const Voice voices[] = {{44100, 0, 60, 37, 0}, {22050, -600, 60, 53, 11}, {33075, -1500, 100, 29, 5}};
    constexpr uint32_t kBytes = 4000, kSamples = 2000;
    mixer::init(the_mixer, 44100);
    std::vector<std::vector<uint8_t>> data;
    for (const Voice& v : voices) {
        const int id = mixer::add_voice(the_mixer, kBytes, 44100);
        std::vector<uint8_t> d(kBytes);
        for (uint32_t i = 0; i < kBytes; ++i)
            d[i] = uint8_t(128 + int(i * uint32_t(v.stride) + uint32_t(v.offset)) % (2 * v.amplitude + 1) - v.amplitude);
        std::memcpy(mixer::voice_data(the_mixer, id), d.data(), kBytes);
        data.push_back(d);
        call(id, mixer::Op::set_frequency, int32_t(v.hz));
        call(id, mixer::Op::set_volume, v.centibels);
        call(id, mixer::Op::play);
    }
    const std::vector<uint8_t> out = render(kSamples);
    int checked = 0, rounded_up = 0, rounded_up_below_silence = 0;
    for (uint32_t i = 0; i < kSamples; ++i) {
        double sum = 0.0;
        for (size_t k = 0; k < data.size(); ++k) {
            const double position = double(i) * voices[k].hz / 44100.0;
            const size_t at = size_t(position);
            const double a = data[k][at] - 128.0, b = data[k][at + 1] - 128.0;
            sum += std::pow(10.0, voices[k].centibels / 2000.0) * (a + (b - a) * (position - double(at)));
        }
        const double fraction = sum - std::floor(sum);
        if (std::abs(fraction - 0.5) < 0.02) continue;
        ++checked;
        if (fraction > 0.5) ++(sum < 0.0 ? rounded_up_below_silence : rounded_up);
        ASSERT_EQ(int(out[i]), int(std::floor(sum + 0.5)) + 128) << "sample " << i << ", exact sum " << sum;
    }
    EXPECT_GT(checked, int(kSamples) * 9 / 10);
    EXPECT_GT(rounded_up, 100) << "the case must hold sums a truncation would round down";
    EXPECT_GT(rounded_up_below_silence, 100);
}

TEST(MixerTiming, ACallStampedInsideABlockLandsAtItsSampleOffset) {
    const int v = fresh_voice(4000, 228);
    // Stamps in samples; the block covers 0..511.
    ASSERT_TRUE(mixer::post(the_mixer, v, mixer::Op::play, 0, 137));
    ASSERT_TRUE(mixer::post(the_mixer, v, mixer::Op::set_volume, -10000, 300));
    ASSERT_TRUE(mixer::post(the_mixer, v, mixer::Op::set_volume, 0, 700));  // the next block
    const std::vector<uint8_t> block = render(512);
    for (int i = 0; i < 512; ++i) {
        const bool sounding = i >= 137 && i < 300;
        ASSERT_EQ(block[i], sounding ? 228 : 128) << "sample " << i;
    }
    const std::vector<uint8_t> next = render(512);
    EXPECT_EQ(next[700 - 512 - 1], 128);
    EXPECT_EQ(next[700 - 512], 228);
    EXPECT_EQ(the_mixer.late.load(), 0u);
}

TEST(MixerTiming, ALateCallTakesEffectAtTheBlockStartAndIsCounted) {
    const int v = fresh_voice(4000, 228);
    render(1000);
    ASSERT_TRUE(mixer::post(the_mixer, v, mixer::Op::play, 0, 400));  // meant for a past sample
    EXPECT_EQ(render(10)[0], 228);
    EXPECT_EQ(the_mixer.late.load(), 1u);
}

TEST(MixerQueue, AFullQueueRefusesAndCountsTheCall) {
    const int v = fresh_voice(100, 200);
    for (uint32_t i = 0; i < mixer::kQueueCapacity; ++i)
        ASSERT_TRUE(mixer::post(the_mixer, v, mixer::Op::set_volume, 0, 0));
    EXPECT_TRUE(mixer::queue_full(the_mixer));
    EXPECT_FALSE(mixer::post(the_mixer, v, mixer::Op::play, 0, 0));
    EXPECT_EQ(the_mixer.dropped.load(), 1u);
    render(1);
    EXPECT_FALSE(mixer::queue_full(the_mixer));
}

TEST(MixerVoice, InitialStateIsStoppedAtTheFormatRateAndFullLevel) {
    const int v = fresh_voice(64, 228);
    EXPECT_TRUE(all_silent(render(100))) << "nothing plays before a play";
    const mixer::Voice& voice = the_mixer.voices[v];
    EXPECT_FALSE(voice.playing);
    EXPECT_EQ(voice.position, 0u);
    EXPECT_EQ(voice.frequency, 44100u);
    EXPECT_EQ(voice.volume, 0);
    // The static storage holds the demo's 49,268 bytes and refuses what does not fit.
    mixer::init(the_mixer, 44100);
    for (int i = 0; i < 8; ++i) ASSERT_GE(mixer::add_voice(the_mixer, 4096, 44100), 0);
    EXPECT_GE(mixer::add_voice(the_mixer, 16500, 44100), 0);
    EXPECT_EQ(mixer::add_voice(the_mixer, mixer::kStorageBytes, 44100), -1);
}
