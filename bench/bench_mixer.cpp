// Benchmark: offline mixing speed as a multiple of real time.
//   1. the song through the headless backend: 832 rows of sequencer calls, each row mixed as
//      one 3,969-sample block, as the capture tool renders it;
//   2. the mixer core with nine demo-sized voices, every one restarted on every row (more than
//      the song ever asks), in 512-sample blocks like the SDL2 callback's, calls placed inside.
// The second figure also gives the callback's cost per 512-sample block; the share of the CPU
// the live SDL2 mixer takes is measured inside the demo itself: run it with DEMO_AUDIO_STATS=1
// and it prints, every 5 s, the callback's busy time as a share of the audio time it produced.
// Best of several runs; prints figures, never fails on a time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "music/music.h"
#include "platform/common/mixer.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_sound.h"

namespace {

constexpr uint32_t kRate = platform::kSampleRate;
constexpr uint32_t kBlock = 512;                   // samples per SDL2 callback
constexpr int kRuns = 5;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

uint8_t song[kSongRows * kRowSamples];

double song_render_seconds() {
    headless::reset_sound();
    const auto start = std::chrono::steady_clock::now();
    SequencerCursor cursor{0, 0};
    for (uint32_t r = 0; r < kSongRows; ++r) {
        sequencer_play_row(cursor);
        headless::mix(song + r * kRowSamples, kRowSamples);
    }
    return seconds_since(start);
}

mixer::Mixer core;

// Nine voices (eight of 4,096 bytes, one of 16,500) at the song's rates, restarted every 90 ms
// with stamps inside the blocks, for `seconds` of output.
double nine_voices_seconds(double seconds) {
    mixer::init(core, kRate);
    const uint32_t sizes[9] = {4096, 4096, 16500, 4096, 4096, 4096, 4096, 4096, 4096};
    const int32_t rates[9] = {16388, 16388, 5162, 20648, 4097, 8194, 30936, 61873, 11588};
    for (int v = 0; v < 9; ++v) {
        mixer::add_voice(core, sizes[v], kRate);
        uint8_t* d = mixer::voice_data(core, v);
        for (uint32_t i = 0; i < sizes[v]; ++i) d[i] = uint8_t(i * 7 + v * 31);
    }
    const uint32_t blocks = uint32_t(seconds * kRate / kBlock);
    uint8_t out[kBlock];
    unsigned checksum = 0;
    int64_t next_row = 0;
    const auto start = std::chrono::steady_clock::now();
    for (uint32_t b = 0; b < blocks; ++b) {
        const int64_t block_end = int64_t(b + 1) * kBlock;
        while (next_row < block_end) {
            // Every voice restarted at the row's own sample, so each block holds a row start
            // roughly every eighth block and all nine voices always sound.
            for (int v = 0; v < 9; ++v) {
                mixer::post(core, v, mixer::Op::stop, 0, next_row);
                mixer::post(core, v, mixer::Op::set_position, 0, next_row);
                mixer::post(core, v, mixer::Op::set_frequency, rates[v], next_row);
                mixer::post(core, v, mixer::Op::set_volume, v % 2 == 0 ? 0 : -700, next_row);
                mixer::post(core, v, mixer::Op::play, 0, next_row);
            }
            next_row += kRowSamples;
        }
        mixer::render(core, out, kBlock, mixer::kStampsAreSamples);
        checksum += out[b % kBlock];
    }
    const double s = seconds_since(start);
    if (checksum == 1) std::printf(" ");  // keeps the mixing from being optimised away
    return s;
}

}  // namespace

int main() {
    init_audio(nullptr);
    build_pitch_table();

    std::vector<double> song_runs;
    for (int i = 0; i < kRuns; ++i) song_runs.push_back(song_render_seconds());
    const double song_best = *std::min_element(song_runs.begin(), song_runs.end());
    const double song_audio = double(kSongRows) * kRowSamples / kRate;
    std::printf("song, headless (832 rows, 3,969-sample blocks): %.1f s of audio in %.1f ms: %.0f x real time\n",
                song_audio, song_best * 1e3, song_audio / song_best);

    constexpr double kCoreAudio = 60.0;  // s
    std::vector<double> core_runs;
    for (int i = 0; i < kRuns; ++i) core_runs.push_back(nine_voices_seconds(kCoreAudio));
    const double core_best = *std::min_element(core_runs.begin(), core_runs.end());
    const double per_block_us = core_best / (kCoreAudio * kRate / kBlock) * 1e6;
    std::printf("mixer core, nine voices restarted every row (512-sample blocks): %.0f s of audio in %.1f ms: "
                "%.0f x real time, %.1f us per block (%.3f %% of the block's 11.6 ms)\n",
                kCoreAudio, core_best * 1e3, kCoreAudio / core_best, per_block_us,
                100.0 * per_block_us / (1e6 * kBlock / kRate));
    std::printf("live SDL2 share: run the demo with DEMO_AUDIO_STATS=1 (callback busy time / audio time)\n");
    return 0;
}
