// The device clock against simulated audio callbacks: calls made on a steady 90 ms beat must
// come out on the same beat in the output samples, within a millisecond, whether the callbacks
// jitter, come in bursts or run on a device clock a little fast or slow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "platform/common/mixer.h"

namespace {

constexpr uint32_t kRate = 44100;   // Hz
constexpr uint32_t kBlock = 512;    // samples per callback
constexpr int64_t kBeatNs = 90000000;  // a row, 90 ms

mixer::Mixer the_mixer;

struct Device {
    double rate_error;       // relative: 1e-4 plays 100 ppm fast against the steady clock
    double jitter_ms;        // each callback runs up to this much late
    uint32_t blocks_ahead;   // blocks the device buffers before the one it is playing
    uint32_t burst;          // callbacks come in groups of this many, back to back
};

struct Result {
    std::vector<int64_t> onsets;  // output sample of each call
    std::vector<int64_t> stamps;  // its steady-clock time, ns
    uint32_t late;
};

// Runs `seconds` of callbacks; every beat the sequencer turns a constant voice on or off.
Result simulate(const Device& dev, double seconds, uint32_t seed) {
    mixer::init(the_mixer, kRate);
    const int v = mixer::add_voice(the_mixer, 60000, kRate);
    std::memset(mixer::voice_data(the_mixer, v), 228, 60000);
    mixer::DeviceClock clock;
    mixer::clock_reset(clock, kRate);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> jitter(0.0, dev.jitter_ms * 1e6);

    Result r;
    const int64_t start_ns = 5000000000;  // an arbitrary steady-clock origin
    const int64_t first_call_ns = start_ns + 3000000;
    int64_t next_call_ns = first_call_ns;
    bool on = false;
    // The voice sounds from the start at 100 Hz, so its 60,000 bytes outlast the run.
    mixer::post(the_mixer, v, mixer::Op::set_frequency, 100, start_ns);
    mixer::post(the_mixer, v, mixer::Op::set_volume, -10000, start_ns);
    mixer::post(the_mixer, v, mixer::Op::play, 0, start_ns);

    std::vector<uint8_t> out;
    uint8_t block[kBlock];
    const uint32_t blocks = uint32_t(seconds * kRate / kBlock);
    for (uint32_t k = 0; k < blocks; ++k) {
        // The device asks for block k when block k - blocks_ahead starts playing; a burst asks
        // for a group at the time of its first block.
        const uint32_t group_first = k - k % dev.burst;
        const double needed = double(int64_t(group_first) - int64_t(dev.blocks_ahead)) * kBlock;
        int64_t t = start_ns + int64_t(std::max(0.0, needed) / (kRate * (1.0 + dev.rate_error)) * 1e9) +
                    int64_t(jitter(random)) + int64_t(k % dev.burst) * 20000;
        // Calls made before this callback ran are in the queue.
        while (next_call_ns <= t) {
            on = !on;
            mixer::post(the_mixer, v, mixer::Op::set_volume, on ? 0 : -10000, next_call_ns);
            r.stamps.push_back(next_call_ns);
            next_call_ns += kBeatNs;
        }
        mixer::clock_on_block(clock, t, the_mixer.clock, kBlock);
        mixer::render(the_mixer, block, kBlock, mixer::clock_map(clock));
        out.insert(out.end(), block, block + kBlock);
    }
    for (size_t i = 1; i < out.size(); ++i)
        if (out[i] != out[i - 1]) r.onsets.push_back(int64_t(i));
    r.stamps.resize(std::min(r.stamps.size(), r.onsets.size()));
    r.late = the_mixer.late.load();
    return r;
}

}  // namespace

TEST(MixerDeviceClock, CallsKeepTheirSpacingWithinAMillisecond) {
    struct Case {
        const char* name;
        Device device;
    };
    const Case cases[] = {
        {"steady", {0.0, 0.0, 2, 1}},
        {"jittery callbacks", {0.0, 3.0, 2, 1}},
        {"bursts of four", {0.0, 1.0, 3, 4}},
        {"device 100 ppm fast", {1e-4, 2.0, 2, 1}},
        {"device 100 ppm slow", {-1e-4, 2.0, 2, 1}},
    };
    for (const Case& c : cases) {
        const Result r = simulate(c.device, 30.0, 7);
        ASSERT_GE(r.onsets.size(), 300u) << c.name;
        // After the first half second, every call after the previous one by its own spacing.
        double worst_ms = 0.0;
        int64_t lateness_ms = 0;
        for (size_t i = 7; i < r.onsets.size(); ++i) {
            const double played_ms = double(r.onsets[i] - r.onsets[i - 1]) * 1000.0 / kRate;
            const double made_ms = double(r.stamps[i] - r.stamps[i - 1]) * 1e-6;
            worst_ms = std::max(worst_ms, std::abs(played_ms - made_ms));
            // The latency stays within a few blocks of the call.
            lateness_ms = std::max(lateness_ms, int64_t(r.onsets[i] * 1000 / kRate) -
                                                    (r.stamps[i] - 5000000000) / 1000000);
        }
        EXPECT_LE(worst_ms, 1.0) << c.name;
        // The mapping sits at the furthest the callbacks run ahead: the device's buffered blocks,
        // a burst, and the one block being rendered.
        const int64_t bound_ms =
            int64_t(c.device.blocks_ahead + c.device.burst + 1) * 1000 * kBlock / kRate + 2;
        EXPECT_LE(lateness_ms, bound_ms) << c.name;
        EXPECT_EQ(r.late, 0u) << c.name << ": calls placed after their sample";
    }
}

TEST(MixerDeviceClock, StallStartsTheMappingOver) {
    mixer::DeviceClock clock;
    mixer::clock_reset(clock, kRate);
    const int64_t t0 = 1000000000;
    mixer::clock_on_block(clock, t0, 0, kBlock);
    mixer::clock_on_block(clock, t0 + 11609977, kBlock, kBlock);  // on time
    const double latency_before = mixer::clock_map(clock).offset;
    // Half a second without a callback (a device that stopped), then the next block.
    const int64_t t = t0 + 511609977;
    mixer::clock_on_block(clock, t, 2 * kBlock, kBlock);
    const mixer::StampMap map = mixer::clock_map(clock);
    // A call made right then maps to the next block's start plus the latency, not 0.5 s later.
    const double sample = map.offset + double(t - map.origin) * map.samples_per_unit;
    EXPECT_NEAR(sample, 2.0 * kBlock + latency_before, 2.0);
}
