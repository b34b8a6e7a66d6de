// Sound start-up: the device, its 8-bit mono 44,100 Hz output format and the nine instrument
// buffers, each rendered straight into its locked memory. Main thread, once, before the
// sequencer thread exists; afterwards only the sequencer touches the buffers.
#include "music/music.h"

platform::SoundBufferHandle instrument_buffers[kInstrumentCount];

namespace {

platform::SoundDeviceHandle sound_device;
platform::SoundBufferHandle primary_buffer;  // only ever used to set the output format

// 8-bit PCM is unsigned; the synthesizer's silence is byte 127.
constexpr platform::WaveFormat kSoundFormat = {
    1,       // format_tag: PCM
    1,       // channels: mono
    platform::kSampleRate,  // samples_per_sec, Hz
    platform::kSampleRate,  // avg_bytes_per_sec: one byte a sample
    1,       // block_align, bytes
    8,       // bits_per_sample
};

}  // namespace

void init_audio(platform::WindowHandle window) {
    for (platform::SoundBufferHandle& buffer : instrument_buffers) buffer = nullptr;

    // Without a device the demo plays silently: the backend has already said why on stderr,
    // and every buffer stays null, which the sequencer skips.
    sound_device = platform::sound_create_device();
    if (sound_device == nullptr) return;
    platform::sound_set_cooperative_level(sound_device, window);
    primary_buffer = platform::sound_create_primary_buffer(sound_device);
    if (primary_buffer != nullptr) platform::sound_set_format(primary_buffer, kSoundFormat);

    // Each instrument is finished before the next is begun.
    for (int i = 0; i < kInstrumentCount; ++i) {
        const InstrumentParams params = instrument_params(i);
        platform::SoundBufferHandle buffer =
            platform::sound_create_buffer(sound_device, params.sample_count, kSoundFormat);
        if (buffer == nullptr) continue;
        uint32_t locked_bytes = 0;
        uint8_t* data = platform::sound_lock(buffer, &locked_bytes);
        // An unfilled buffer would play whatever it held, so it is left out rather than used.
        if (data == nullptr) continue;
        InstrumentParams fitted = params;
        // Never write past what the lock granted, should it be less than the whole row.
        if (locked_bytes < fitted.sample_count) fitted.sample_count = uint16_t(locked_bytes);
        render_instrument(fitted, data);
        platform::sound_unlock(buffer, data, locked_bytes);
        instrument_buffers[i] = buffer;
    }
}
