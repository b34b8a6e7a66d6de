// Temporary: no sound device until the software mixer lands.
#include "platform/platform.h"
namespace platform {
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
}  // namespace platform
