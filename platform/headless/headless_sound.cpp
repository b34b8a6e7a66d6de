// Temporary headless sound: records the calls, mixes silence, until the software mixer lands.
#include <cstring>

#include "platform/headless/headless.h"

namespace {
headless::SoundCall log_entries[headless::kSoundLogCapacity];
uint32_t log_size;
bool device_available = true;
char device_token;
char primary_token;
platform::SoundBuffer* buffers[16];
int buffer_count;
uint8_t storage[65536];
uint32_t storage_used;

int index_of(platform::SoundBufferHandle b) {
    for (int i = 0; i < buffer_count; ++i)
        if (buffers[i] == b) return i;
    return -1;
}
void record(headless::SoundOp op, platform::SoundBufferHandle b, int32_t arg) {
    if (log_size < headless::kSoundLogCapacity) log_entries[log_size++] = {op, int8_t(index_of(b)), arg};
}
}  // namespace

namespace platform {
SoundDeviceHandle sound_create_device() {
    record(headless::SoundOp::create_device, nullptr, 0);
    return device_available ? reinterpret_cast<SoundDeviceHandle>(&device_token) : nullptr;
}
void sound_set_cooperative_level(SoundDeviceHandle, WindowHandle) { record(headless::SoundOp::cooperative_level, nullptr, 0); }
SoundBufferHandle sound_create_primary_buffer(SoundDeviceHandle) {
    record(headless::SoundOp::create_primary, nullptr, 0);
    return reinterpret_cast<SoundBufferHandle>(&primary_token);
}
void sound_set_format(SoundBufferHandle, const WaveFormat&) { record(headless::SoundOp::set_format, nullptr, 0); }
SoundBufferHandle sound_create_buffer(SoundDeviceHandle, uint32_t bytes, const WaveFormat&) {
    if (buffer_count == 16 || storage_used + bytes > sizeof storage) return nullptr;
    buffers[buffer_count] = reinterpret_cast<SoundBufferHandle>(storage + storage_used);
    storage_used += bytes;
    SoundBufferHandle b = buffers[buffer_count++];
    record(headless::SoundOp::create_buffer, b, int32_t(bytes));
    return b;
}
uint8_t* sound_lock(SoundBufferHandle b, uint32_t* bytes) {
    record(headless::SoundOp::lock, b, 0);
    *bytes = 0;
    return reinterpret_cast<uint8_t*>(b);
}
void sound_unlock(SoundBufferHandle b, uint8_t*, uint32_t bytes) { record(headless::SoundOp::unlock, b, int32_t(bytes)); }
void sound_stop(SoundBufferHandle b) { record(headless::SoundOp::stop, b, 0); }
void sound_set_position(SoundBufferHandle b, uint32_t p) { record(headless::SoundOp::set_position, b, int32_t(p)); }
void sound_set_frequency(SoundBufferHandle b, uint32_t hz) { record(headless::SoundOp::set_frequency, b, int32_t(hz)); }
void sound_set_volume(SoundBufferHandle b, int32_t v) { record(headless::SoundOp::set_volume, b, v); }
void sound_play(SoundBufferHandle b) { record(headless::SoundOp::play, b, 0); }
}  // namespace platform

namespace headless {
uint32_t sound_log_size() { return log_size; }
const SoundCall* sound_log() { return log_entries; }
void sound_log_clear() { log_size = 0; }
void set_sound_device_available(bool available) { device_available = available; }
void mix(uint8_t* out, uint32_t samples) { std::memset(out, 128, samples); }
}  // namespace headless
