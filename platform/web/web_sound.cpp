// Web backend, sound: the page's module plays nothing itself. The song's instrument buffers and
// its sequencer live in the sound engine of the page's audio thread (sound_engine.cpp), which
// renders them there; here the device is absent, so the demo's start-up skips the buffers, and
// starting the sequencer thread only tells that engine to begin the song. Page main thread.
#include <emscripten.h>

#include "platform/common/stand_ins.h"
#include "platform/platform.h"

EM_JS(void, page_start_music, (), { Module.page.startMusic(); });

namespace platform {

// No device in this module, and nothing to say about it: the page has its own audio output.
SoundDeviceHandle sound_create_device() { return nullptr; }
void sound_set_cooperative_level(SoundDeviceHandle, WindowHandle) {}
SoundBufferHandle sound_create_primary_buffer(SoundDeviceHandle) { return nullptr; }
void sound_set_format(SoundBufferHandle, const WaveFormat&) {}
SoundBufferHandle sound_create_buffer(SoundDeviceHandle, uint32_t, const WaveFormat&) { return nullptr; }
uint8_t* sound_lock(SoundBufferHandle, uint32_t*) { return nullptr; }
void sound_unlock(SoundBufferHandle, uint8_t*, uint32_t) {}
void sound_stop(SoundBufferHandle) {}
void sound_set_position(SoundBufferHandle, uint32_t) {}
void sound_set_frequency(SoundBufferHandle, uint32_t) {}
void sound_set_volume(SoundBufferHandle, int32_t) {}
void sound_play(SoundBufferHandle) {}

// The one thread the demo starts is the sequencer: in the page it runs in the audio thread,
// its rows placed at exact sample times by the page's sound engine.
ThreadHandle create_thread(ThreadProc) {
    page_start_music();
    return stand_ins::thread();
}
void set_thread_time_critical(ThreadHandle) {}
void wait_on_thread(ThreadHandle, uint32_t) {}

}  // namespace platform
