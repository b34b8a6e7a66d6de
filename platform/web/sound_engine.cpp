// The page's sound engine, a WebAssembly module of its own that runs in the page's audio thread
// (an AudioWorklet, or a script processor on the main thread where there is none): the demo's
// synthesizer fills the nine instrument buffers, and the sequencer's rows drive the shared
// mixer, each row applied at its exact sample (every 3,969 samples, 90 ms at 44,100 Hz) however
// the browser cuts its output into blocks. Audio thread only.
#include <algorithm>
#include <cstdint>

#include "music/music.h"
#include "platform/common/mixer.h"
#include "platform/platform.h"

struct platform::SoundDevice {
    int unused;
};
struct platform::SoundBuffer {
    int voice;  // -1 for the primary buffer
};

namespace {

// Samples between rows at the output rate: kRowPeriodMs at 44,100 Hz.
constexpr uint32_t kRowSamples = mixer::kDefaultRate * kRowPeriodMs / 1000;
static_assert(kRowSamples == 3969, "a row is 90 ms at 44,100 Hz");
constexpr uint32_t kMaxBlock = 4096;  // samples per render call; browsers ask for 128 to 4,096

mixer::Mixer the_mixer;
platform::SoundDevice the_device;
platform::SoundBuffer primary_buffer{-1};
platform::SoundBuffer buffer_records[mixer::kMaxVoices];

SequencerCursor cursor;
uint32_t until_next_row;  // samples; 0: the next sample starts a row
bool playing;

uint8_t block_bytes[kMaxBlock];
float block_floats[kMaxBlock];

void post(platform::SoundBufferHandle b, mixer::Op op, int32_t argument) {
    if (b == nullptr || b->voice < 0) return;
    // The engine is producer and consumer at once: a row's calls all belong at the current sample.
    if (mixer::queue_full(the_mixer)) mixer::apply_pending(the_mixer);
    mixer::post(the_mixer, b->voice, op, argument, the_mixer.clock);
}

}  // namespace

namespace platform {

SoundDeviceHandle sound_create_device() { return &the_device; }
void sound_set_cooperative_level(SoundDeviceHandle, WindowHandle) {}
SoundBufferHandle sound_create_primary_buffer(SoundDeviceHandle device) {
    return device != nullptr ? &primary_buffer : nullptr;
}
void sound_set_format(SoundBufferHandle primary, const WaveFormat& format) {
    // 8-bit mono is what the mixer writes; the rate is the one part of the format it follows.
    if (primary != nullptr && format.samples_per_sec != 0) mixer::set_output_rate(the_mixer, format.samples_per_sec);
}
SoundBufferHandle sound_create_buffer(SoundDeviceHandle device, uint32_t bytes, const WaveFormat& format) {
    if (device == nullptr) return nullptr;
    const int voice = mixer::add_voice(the_mixer, bytes, format.samples_per_sec);
    if (voice < 0) return nullptr;
    buffer_records[voice].voice = voice;
    return &buffer_records[voice];
}
uint8_t* sound_lock(SoundBufferHandle b, uint32_t* bytes) {
    uint8_t* data = b != nullptr ? mixer::voice_data(the_mixer, b->voice) : nullptr;
    *bytes = data != nullptr ? the_mixer.voices[b->voice].size : 0;
    return data;
}
void sound_unlock(SoundBufferHandle, uint8_t*, uint32_t) {}
void sound_stop(SoundBufferHandle b) { post(b, mixer::Op::stop, 0); }
void sound_set_position(SoundBufferHandle b, uint32_t byte) { post(b, mixer::Op::set_position, int32_t(byte)); }
void sound_set_frequency(SoundBufferHandle b, uint32_t hz) { post(b, mixer::Op::set_frequency, int32_t(hz)); }
void sound_set_volume(SoundBufferHandle b, int32_t centibels) { post(b, mixer::Op::set_volume, centibels); }
void sound_play(SoundBufferHandle b) { post(b, mixer::Op::play, 0); }

// The engine plays the rows itself (engine_render); no thread is ever started here.
ThreadHandle create_thread(ThreadProc) { return nullptr; }
void set_thread_time_critical(ThreadHandle) {}
void wait_on_thread(ThreadHandle, uint32_t) {}

}  // namespace platform

extern "C" {

// The nine instrument buffers and the pitch table, as the demo's start-up makes them.
__attribute__((export_name("engine_init"))) void engine_init() {
    mixer::init(the_mixer, mixer::kDefaultRate);
    init_audio(nullptr);
    build_pitch_table();
    cursor = {0, 0};
    until_next_row = 0;
    playing = false;
}

// From the next sample on, the song plays from its first row.
__attribute__((export_name("engine_start"))) void engine_start() {
    mixer::reset_playback(the_mixer);
    cursor = {0, 0};
    until_next_row = 0;
    playing = true;
}

// Silence from the next sample on; every buffer back to its set-up state.
__attribute__((export_name("engine_stop"))) void engine_stop() {
    playing = false;
    mixer::reset_playback(the_mixer);
}

// The output format the page must open its audio at, and the samples of one row.
__attribute__((export_name("engine_rate"))) uint32_t engine_rate() { return mixer::kDefaultRate; }
__attribute__((export_name("engine_row_samples"))) uint32_t engine_row_samples() { return kRowSamples; }

__attribute__((export_name("engine_max_block"))) uint32_t engine_max_block() { return kMaxBlock; }
__attribute__((export_name("engine_bytes"))) uint8_t* engine_bytes() { return block_bytes; }
__attribute__((export_name("engine_floats"))) float* engine_floats() { return block_floats; }

// Renders the next `samples` output samples (at most engine_max_block) into engine_bytes (8-bit
// unsigned, as the desktop mixes them) and engine_floats (the same samples for Web Audio).
__attribute__((export_name("engine_render"))) void engine_render(uint32_t samples) {
    samples = std::min(samples, kMaxBlock);
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
        mixer::render(the_mixer, block_bytes + done, n, mixer::kStampsAreSamples);
        done += n;
        until_next_row -= n;
    }
    for (uint32_t i = 0; i < samples; ++i) block_floats[i] = float(int(block_bytes[i]) - 128) / 128.0f;
}

}  // extern "C"
