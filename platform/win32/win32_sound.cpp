// Windows backend, sound side: DirectSound's default device at the exclusive level, its
// primary buffer set to the demo's format, and the one-shot secondary buffers the sequencer
// drives. Set-up on the main thread; the buffer calls from the sequencer thread afterwards.
//
// Every call does nothing on a null device or buffer, so a machine without sound plays the
// demo silently.
#include <windows.h>
#include <mmsystem.h>  // WAVEFORMATEX, left out by WIN32_LEAN_AND_MEAN
#include <dsound.h>

#include "platform/platform.h"
#include "platform/win32/win32_report.h"

// The form of the record that includes guid3DAlgorithm: 36 bytes in the 32-bit program (the
// 64-bit build, used where Wine cannot run 32-bit code, pads it to 40).
static_assert(sizeof(void*) != 4 || sizeof(DSBUFFERDESC) == 36, "DSBUFFERDESC as the i686 build passes it");

namespace {

// Primary buffer: PRIMARYBUFFER | STICKYFOCUS.
constexpr DWORD kPrimaryFlags = 0x4001;
// Instrument buffers: CTRLFREQUENCY | CTRLPAN | CTRLVOLUME | STICKYFOCUS | GETCURRENTPOSITION2.
constexpr DWORD kInstrumentFlags = 0x140E0;
static_assert(kPrimaryFlags == (DSBCAPS_PRIMARYBUFFER | DSBCAPS_STICKYFOCUS));
static_assert(kInstrumentFlags == (DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                                   DSBCAPS_STICKYFOCUS | DSBCAPS_GETCURRENTPOSITION2));

IDirectSound* device_of(platform::SoundDeviceHandle device) { return reinterpret_cast<IDirectSound*>(device); }
IDirectSoundBuffer* buffer_of(platform::SoundBufferHandle buffer) {
    return reinterpret_cast<IDirectSoundBuffer*>(buffer);
}

WAVEFORMATEX wave_format(const platform::WaveFormat& format) {
    WAVEFORMATEX wfx = {};
    wfx.wFormatTag = format.format_tag;
    wfx.nChannels = format.channels;
    wfx.nSamplesPerSec = format.samples_per_sec;
    wfx.nAvgBytesPerSec = format.avg_bytes_per_sec;
    wfx.nBlockAlign = format.block_align;
    wfx.wBitsPerSample = format.bits_per_sample;
    wfx.cbSize = 0;  // plain PCM carries no extra bytes
    return wfx;
}

DSBUFFERDESC buffer_description(DWORD flags, DWORD bytes, WAVEFORMATEX* format) {
    DSBUFFERDESC desc = {};  // dwReserved 0, guid3DAlgorithm all zero
    desc.dwSize = sizeof(DSBUFFERDESC);  // bytes: 36 on i686
    desc.dwFlags = flags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = format;
    return desc;
}

platform::SoundBufferHandle create_buffer(IDirectSound* device, const DSBUFFERDESC& desc) {
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(device->CreateSoundBuffer(&desc, &buffer, nullptr))) return nullptr;
    return reinterpret_cast<platform::SoundBufferHandle>(buffer);
}

}  // namespace

namespace platform {

SoundDeviceHandle sound_create_device() {
    IDirectSound* device = nullptr;
    if (FAILED(DirectSoundCreate(nullptr, &device, nullptr)) || device == nullptr) {
        win32::report("demo: no sound device, playing silently");
        return nullptr;
    }
    return reinterpret_cast<SoundDeviceHandle>(device);
}

void sound_set_cooperative_level(SoundDeviceHandle device, WindowHandle window) {
    if (device == nullptr) return;
    device_of(device)->SetCooperativeLevel(reinterpret_cast<HWND>(window), DSSCL_EXCLUSIVE);
}

SoundBufferHandle sound_create_primary_buffer(SoundDeviceHandle device) {
    if (device == nullptr) return nullptr;
    return create_buffer(device_of(device), buffer_description(kPrimaryFlags, 0, nullptr));
}

void sound_set_format(SoundBufferHandle primary, const WaveFormat& format) {
    if (primary == nullptr) return;
    const WAVEFORMATEX wfx = wave_format(format);
    buffer_of(primary)->SetFormat(&wfx);
}

SoundBufferHandle sound_create_buffer(SoundDeviceHandle device, uint32_t bytes, const WaveFormat& format) {
    if (device == nullptr) return nullptr;
    WAVEFORMATEX wfx = wave_format(format);  // copied by the device
    return create_buffer(device_of(device), buffer_description(kInstrumentFlags, bytes, &wfx));
}

uint8_t* sound_lock(SoundBufferHandle buffer, uint32_t* bytes) {
    *bytes = 0;
    if (buffer == nullptr) return nullptr;
    void* region = nullptr;
    DWORD region_bytes = 0;
    // The whole buffer as one region: no second region is asked for.
    if (FAILED(buffer_of(buffer)->Lock(0, 0, &region, &region_bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER)) ||
        region == nullptr) {
        return nullptr;
    }
    *bytes = region_bytes;
    return static_cast<uint8_t*>(region);
}

void sound_unlock(SoundBufferHandle buffer, uint8_t* data, uint32_t bytes) {
    if (buffer == nullptr || data == nullptr) return;
    buffer_of(buffer)->Unlock(data, bytes, nullptr, 0);
}

void sound_stop(SoundBufferHandle buffer) {
    if (buffer != nullptr) buffer_of(buffer)->Stop();
}

void sound_set_position(SoundBufferHandle buffer, uint32_t byte) {
    if (buffer != nullptr) buffer_of(buffer)->SetCurrentPosition(byte);
}

void sound_set_frequency(SoundBufferHandle buffer, uint32_t hz) {
    if (buffer != nullptr) buffer_of(buffer)->SetFrequency(hz);
}

void sound_set_volume(SoundBufferHandle buffer, int32_t centibels) {
    if (buffer != nullptr) buffer_of(buffer)->SetVolume(centibels);
}

void sound_play(SoundBufferHandle buffer) {
    if (buffer != nullptr) buffer_of(buffer)->Play(0, 0, 0);  // reserved, priority, one pass
}

}  // namespace platform
