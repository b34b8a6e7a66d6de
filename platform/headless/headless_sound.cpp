// Headless sound: the software mixer driven by the caller's clock, plus a log of every sound
// call for tests that check the sequencer's exact calls. One thread (the caller) does it all:
// calls are queued stamped with the sound clock, so they take effect at the start of the next
// mixed block, as a live device would play them one latency later.
#include "platform/common/mixer.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_sound.h"

struct platform::SoundDevice {
    int unused;
};
struct platform::SoundBuffer {
    int voice;  // -1 for the primary buffer
};

namespace {

headless::SoundCall log_entries[headless::kSoundLogCapacity];
uint32_t log_size;
bool device_available = true;

mixer::Mixer the_mixer;
bool mixer_ready;
platform::SoundDevice the_device;
platform::SoundBuffer primary_buffer{-1};
platform::SoundBuffer buffer_records[mixer::kMaxVoices];

mixer::Mixer& mix_state() {
    if (!mixer_ready) {
        mixer::init(the_mixer, mixer::kDefaultRate);
        mixer_ready = true;
    }
    return the_mixer;
}

int index_of(platform::SoundBufferHandle b) { return b != nullptr ? b->voice : -1; }

void record(headless::SoundOp op, platform::SoundBufferHandle b, int32_t argument) {
    if (log_size < headless::kSoundLogCapacity) log_entries[log_size++] = {op, int8_t(index_of(b)), argument};
}

// Queues a buffer call at the current sound clock; the next mix applies it at its first sample.
void post(platform::SoundBufferHandle b, mixer::Op op, int32_t argument) {
    if (b == nullptr || b->voice < 0) return;
    mixer::Mixer& m = mix_state();
    // The caller is also the consumer, so a full queue can simply be applied now: the calls
    // would have taken effect at the same sample anyway.
    if (mixer::queue_full(m)) mixer::apply_pending(m);
    mixer::post(m, b->voice, op, argument, m.clock);
}

}  // namespace

namespace platform {

SoundDeviceHandle sound_create_device() {
    record(headless::SoundOp::create_device, nullptr, 0);
    mix_state();
    return device_available ? &the_device : nullptr;
}

void sound_set_cooperative_level(SoundDeviceHandle, WindowHandle) {
    record(headless::SoundOp::cooperative_level, nullptr, 0);
}

SoundBufferHandle sound_create_primary_buffer(SoundDeviceHandle device) {
    record(headless::SoundOp::create_primary, nullptr, 0);
    return device != nullptr ? &primary_buffer : nullptr;
}

void sound_set_format(SoundBufferHandle primary, const WaveFormat& format) {
    record(headless::SoundOp::set_format, nullptr, 0);
    // The mixer always writes 8-bit mono; the rate is the one part of the format it follows.
    if (primary != nullptr && format.samples_per_sec != 0) mixer::set_output_rate(mix_state(), format.samples_per_sec);
}

SoundBufferHandle sound_create_buffer(SoundDeviceHandle device, uint32_t bytes, const WaveFormat& format) {
    SoundBufferHandle b = nullptr;
    if (device != nullptr) {
        const int voice = mixer::add_voice(mix_state(), bytes, format.samples_per_sec);
        if (voice >= 0) {
            buffer_records[voice].voice = voice;
            b = &buffer_records[voice];
        }
    }
    record(headless::SoundOp::create_buffer, b, int32_t(bytes));
    return b;
}

uint8_t* sound_lock(SoundBufferHandle b, uint32_t* bytes) {
    record(headless::SoundOp::lock, b, 0);
    uint8_t* data = b != nullptr ? mixer::voice_data(mix_state(), b->voice) : nullptr;
    *bytes = data != nullptr ? the_mixer.voices[b->voice].size : 0;
    return data;
}

void sound_unlock(SoundBufferHandle b, uint8_t*, uint32_t bytes) {
    record(headless::SoundOp::unlock, b, int32_t(bytes));
}

void sound_stop(SoundBufferHandle b) {
    record(headless::SoundOp::stop, b, 0);
    post(b, mixer::Op::stop, 0);
}

void sound_set_position(SoundBufferHandle b, uint32_t byte) {
    record(headless::SoundOp::set_position, b, int32_t(byte));
    post(b, mixer::Op::set_position, int32_t(byte));
}

void sound_set_frequency(SoundBufferHandle b, uint32_t hz) {
    record(headless::SoundOp::set_frequency, b, int32_t(hz));
    post(b, mixer::Op::set_frequency, int32_t(hz));
}

void sound_set_volume(SoundBufferHandle b, int32_t centibels) {
    record(headless::SoundOp::set_volume, b, centibels);
    post(b, mixer::Op::set_volume, centibels);
}

void sound_play(SoundBufferHandle b) {
    record(headless::SoundOp::play, b, 0);
    post(b, mixer::Op::play, 0);
}

}  // namespace platform

namespace headless {

uint32_t sound_log_size() { return log_size; }
const SoundCall* sound_log() { return log_entries; }
void sound_log_clear() { log_size = 0; }
void set_sound_device_available(bool available) { device_available = available; }

void mix(uint8_t* out, uint32_t samples) { mixer::render(mix_state(), out, samples, mixer::kStampsAreSamples); }

void reset_sound() { mixer::reset_playback(mix_state()); }
uint32_t late_sound_calls() { return mix_state().late.load(std::memory_order_relaxed); }

}  // namespace headless
