// Headless sound: the software mixer driven by the caller's clock, plus a log of every sound
// call for tests that check the sequencer's exact calls. One thread (the caller) does it all:
// calls are queued stamped with the sound clock, so they take effect at the start of the next
// mixed block, as a live device would play them one latency later.
#include "platform/common/mixer.h"
#include "platform/common/sound_buffers.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_sound.h"

namespace {

headless::SoundCall log_entries[headless::kSoundLogCapacity];
uint32_t log_size;
bool device_available = true;

bool open_device() { return device_available; }

void note_call(sound_buffers::Call call, int voice, int32_t argument) {
    // The device's opening also places the sound set-up among the start-up calls.
    if (call == sound_buffers::Call::create_device)
        headless::record_platform_call(headless::PlatformOp::sound_create_device);
    if (log_size < headless::kSoundLogCapacity) log_entries[log_size++] = {call, int8_t(voice), argument};
}

// The caller is also the mix's consumer: a call takes effect at the next mix's first sample.
constexpr sound_buffers::Hooks kHooks{open_device, sound_buffers::change_rate_at_once, sound_buffers::queue_at_once,
                                      note_call};

}  // namespace

platform::SoundDeviceHandle platform::sound_create_device() { return sound_buffers::open(kHooks); }

namespace headless {

uint32_t sound_log_size() { return log_size; }
const SoundCall* sound_log() { return log_entries; }
void sound_log_clear() { log_size = 0; }
void set_sound_device_available(bool available) { device_available = available; }

void mix(uint8_t* out, uint32_t samples) {
    mixer::render(sound_buffers::the_mixer(), out, samples, mixer::kStampsAreSamples);
}

void reset_sound() { mixer::reset_playback(sound_buffers::the_mixer()); }
uint32_t late_sound_calls() { return sound_buffers::the_mixer().late.load(std::memory_order_relaxed); }

void forget_sound_set_up() {
    log_size = 0;
    device_available = true;
    sound_buffers::forget_buffers();
}

}  // namespace headless
