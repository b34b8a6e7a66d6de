// The page's sound engine, a WebAssembly module of its own that runs in the page's audio thread
// (an AudioWorklet, or a script processor on the main thread where there is none): the demo's
// synthesizer fills the nine instrument buffers, and the sequencer's rows drive the shared
// mixer, each row applied at its exact sample (every kRowSamples, 90 ms) however the browser
// cuts its output into blocks. Audio thread only.
#include <algorithm>
#include <cstdint>

#include "music/music.h"
#include "platform/common/mixer.h"
#include "platform/common/sound_buffers.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kMaxBlock = 4096;  // samples per render call; browsers ask for 128 to 4,096

SequencerCursor cursor;
uint32_t until_next_row;  // samples; 0: the next sample starts a row
bool playing;

uint8_t block_bytes[kMaxBlock];
float block_floats[kMaxBlock];

}  // namespace

// The engine renders in the thread that plays the rows: every call belongs at the current sample.
constexpr sound_buffers::Hooks kHooks{[] { return true; }, sound_buffers::change_rate_at_once,
                                      sound_buffers::queue_at_once, nullptr};

// The engine plays the rows itself (engine_render); no thread is ever started here, and its
// device is the engine.
namespace platform {

SoundDeviceHandle sound_create_device() { return sound_buffers::open(kHooks); }
ThreadHandle create_thread(ThreadProc) { return nullptr; }
void set_thread_time_critical(ThreadHandle) {}
void wait_on_thread(ThreadHandle, uint32_t) {}

}  // namespace platform

extern "C" {

// The nine instrument buffers and the pitch table, as the demo's start-up makes them.
__attribute__((export_name("engine_init"))) void engine_init() {
    init_audio(nullptr);
    build_pitch_table();
    playing = false;
}

// From the next sample on, the song plays from its first row.
__attribute__((export_name("engine_start"))) void engine_start() {
    mixer::reset_playback(sound_buffers::the_mixer());
    cursor = {0, 0};
    until_next_row = 0;
    playing = true;
}

// Silence from the next sample on; every buffer back to its set-up state.
__attribute__((export_name("engine_stop"))) void engine_stop() {
    playing = false;
    mixer::reset_playback(sound_buffers::the_mixer());
}

// The output format the page must open its audio at, and the samples of one row.
__attribute__((export_name("engine_rate"))) uint32_t engine_rate() { return sound_buffers::the_mixer().output_rate; }
__attribute__((export_name("engine_row_samples"))) uint32_t engine_row_samples() { return kRowSamples; }

__attribute__((export_name("engine_max_block"))) uint32_t engine_max_block() { return kMaxBlock; }
__attribute__((export_name("engine_bytes"))) uint8_t* engine_bytes() { return block_bytes; }
__attribute__((export_name("engine_floats"))) float* engine_floats() { return block_floats; }

// Renders the next `samples` output samples (at most engine_max_block) into engine_bytes (8-bit
// unsigned, as the desktop mixes them) and engine_floats (the same samples for Web Audio).
__attribute__((export_name("engine_render"))) void engine_render(uint32_t samples) {
    samples = std::min(samples, kMaxBlock);
    mixer::Mixer& m = sound_buffers::the_mixer();
    uint32_t done = 0;
    while (done < samples) {
        if (!playing) {
            std::fill(block_bytes + done, block_bytes + samples, uint8_t(128));
            break;
        }
        if (until_next_row == 0) {
            sequencer_play_row(cursor);
            until_next_row = kRowSamples;
        }
        const uint32_t n = std::min(samples - done, until_next_row);
        mixer::render(m, block_bytes + done, n, mixer::kStampsAreSamples);
        done += n;
        until_next_row -= n;
    }
    for (uint32_t i = 0; i < samples; ++i) block_floats[i] = float(int(block_bytes[i]) - 128) / 128.0f;
}

}  // extern "C"
