// The sound calls of platform.h on the software mixer, for every backend that mixes in
// software: one device record, one primary buffer, one secondary buffer per mixer voice, and
// each buffer call turned into a mixer operation. The backend passes a small record of hooks
// when the sound opens; what a device is and when the mix runs are its own.
//
// Threads as in platform.h: set-up on the main thread, the buffer calls on the sequencer thread
// (the producer of the mixer's queue). The mixer's consumer belongs to the backend.
#pragma once

#include <cstdint>

#include "platform/common/mixer.h"
#include "platform/platform.h"

namespace sound_buffers {

// Every sound call of platform.h, in the order they are declared there.
enum class Call : uint8_t {
    create_device, cooperative_level, create_primary, set_format, create_buffer, lock, unlock,
    stop, set_position, set_frequency, set_volume, play,
};

// What a backend does for the buffers. Plain function pointers, read without a lock: the
// record is in place before the sequencer thread starts, and none of them may allocate or
// lock on the sequencer thread.
struct Hooks {
    // Main thread: makes the device ready to play the mixer; false (one line on stderr said
    // why) when there is none.
    bool (*open_device)();
    // Main thread: the output moves to this rate. The backend changes the mixer's rate
    // (mixer::set_output_rate) at a moment its consumer does not run.
    void (*change_output_rate)(mixer::Mixer& m, uint32_t hz);
    // Sequencer thread: queues one buffer call on the mixer, stamped as the backend's consumer
    // maps stamps to samples.
    void (*queue)(mixer::Mixer& m, int voice, mixer::Op op, int32_t argument);
    // The calls' own thread, may be null: sees every sound call as it is made, with the
    // buffer's voice (-1 for none) and the call's argument (position, rate, level or byte
    // count; 0 where there is none).
    void (*note_call)(Call call, int voice, int32_t argument);
};

// Main thread: platform::sound_create_device for a backend, which passes its hooks (kept, so
// they must outlive the sound); null when the device cannot be had.
platform::SoundDeviceHandle open(const Hooks& hooks);

// The mixer-side hooks of a backend that mixes in the very thread that makes the buffer calls:
// each call and rate change takes effect at the next mixed sample. Threads as in Hooks.
void change_rate_at_once(mixer::Mixer& m, uint32_t hz);
void queue_at_once(mixer::Mixer& m, int voice, mixer::Op op, int32_t argument);

// Any thread: the one mixer behind the buffers, set up at the default rate on first use (on
// the main thread, by open).
mixer::Mixer& the_mixer();
// Any thread: the mixer voice of a secondary buffer; -1 for the primary buffer or none.
int voice_of(platform::SoundBufferHandle buffer);
// Main thread, with nothing mixing: every buffer forgotten (handles given out before do nothing
// from now on) and the mixer empty again at the default rate, as a fresh process finds them.
// The hooks stay until the next open.
void forget_buffers();

}  // namespace sound_buffers
