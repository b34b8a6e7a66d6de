// The sound calls of platform.h on the software mixer: the buffer records and the one place
// where a buffer call becomes a mixer operation. Threads as in sound_buffers.h.
#include "platform/common/sound_buffers.h"

struct platform::SoundDevice {
    int unused;
};
struct platform::SoundBuffer {
    int voice;  // -1 for the primary buffer
};

namespace {

mixer::Mixer mixer_state;
bool mixer_ready;
const sound_buffers::Hooks* hooks;  // null until the first open
platform::SoundDevice the_device;
platform::SoundBuffer primary_buffer{-1};
platform::SoundBuffer buffer_records[mixer::kMaxVoices];

void note_call(sound_buffers::Call call, int voice, int32_t argument) {
    if (hooks != nullptr && hooks->note_call != nullptr) hooks->note_call(call, voice, argument);
}

void post(platform::SoundBufferHandle b, sound_buffers::Call call, mixer::Op op, int32_t argument) {
    const int voice = sound_buffers::voice_of(b);
    note_call(call, voice, argument);
    // A voice comes only from an open device, so the hooks are in place.
    if (voice >= 0) hooks->queue(sound_buffers::the_mixer(), voice, op, argument);
}

}  // namespace

namespace sound_buffers {

platform::SoundDeviceHandle open(const Hooks& backend) {
    hooks = &backend;
    note_call(Call::create_device, -1, 0);
    the_mixer();
    return hooks->open_device() ? &the_device : nullptr;
}

void change_rate_at_once(mixer::Mixer& m, uint32_t hz) { mixer::set_output_rate(m, hz); }
void queue_at_once(mixer::Mixer& m, int voice, mixer::Op op, int32_t argument) {
    mixer::post_now(m, voice, op, argument);
}

mixer::Mixer& the_mixer() {
    if (!mixer_ready) {
        mixer::init(mixer_state, platform::kSampleRate);
        mixer_ready = true;
    }
    return mixer_state;
}

int voice_of(platform::SoundBufferHandle b) { return b != nullptr ? b->voice : -1; }

void forget_buffers() {
    mixer_ready = false;
    for (platform::SoundBuffer& b : buffer_records) b.voice = -1;
}

}  // namespace sound_buffers

namespace platform {

using sound_buffers::Call;

// The mixer shares the device with other programs; there is no exclusive level to take.
void sound_set_cooperative_level(SoundDeviceHandle, WindowHandle) { note_call(Call::cooperative_level, -1, 0); }

SoundBufferHandle sound_create_primary_buffer(SoundDeviceHandle device) {
    note_call(Call::create_primary, -1, 0);
    return device != nullptr ? &primary_buffer : nullptr;
}

void sound_set_format(SoundBufferHandle primary, const WaveFormat& format) {
    note_call(Call::set_format, -1, 0);
    // The mixer always writes 8-bit mono; the rate is the one part of the format it follows.
    mixer::Mixer& m = sound_buffers::the_mixer();
    if (primary == nullptr || format.samples_per_sec == 0 || format.samples_per_sec == m.output_rate) return;
    hooks->change_output_rate(m, format.samples_per_sec);
}

SoundBufferHandle sound_create_buffer(SoundDeviceHandle device, uint32_t bytes, const WaveFormat& format) {
    SoundBufferHandle b = nullptr;
    if (device != nullptr) {
        const int voice = mixer::add_voice(sound_buffers::the_mixer(), bytes, format.samples_per_sec);
        if (voice >= 0) {
            buffer_records[voice].voice = voice;
            b = &buffer_records[voice];
        }
    }
    note_call(Call::create_buffer, sound_buffers::voice_of(b), int32_t(bytes));
    return b;
}

uint8_t* sound_lock(SoundBufferHandle b, uint32_t* bytes) {
    note_call(Call::lock, sound_buffers::voice_of(b), 0);
    mixer::Mixer& m = sound_buffers::the_mixer();
    uint8_t* data = mixer::voice_data(m, sound_buffers::voice_of(b));
    *bytes = data != nullptr ? m.voices[b->voice].size : 0;
    return data;
}

// The bytes were written in place; nothing plays them before the sequencer's first call.
void sound_unlock(SoundBufferHandle b, uint8_t*, uint32_t bytes) {
    note_call(Call::unlock, sound_buffers::voice_of(b), int32_t(bytes));
}

void sound_stop(SoundBufferHandle b) { post(b, Call::stop, mixer::Op::stop, 0); }
void sound_set_position(SoundBufferHandle b, uint32_t byte) {
    post(b, Call::set_position, mixer::Op::set_position, int32_t(byte));
}
void sound_set_frequency(SoundBufferHandle b, uint32_t hz) {
    post(b, Call::set_frequency, mixer::Op::set_frequency, int32_t(hz));
}
void sound_set_volume(SoundBufferHandle b, int32_t centibels) {
    post(b, Call::set_volume, mixer::Op::set_volume, centibels);
}
void sound_play(SoundBufferHandle b) { post(b, Call::play, mixer::Op::play, 0); }

}  // namespace platform
