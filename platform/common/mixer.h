// Software mixer behind the sound buffers of the SDL2 and headless backends: one-shot 8-bit
// buffers, each played at its own rate and level, summed into 8-bit unsigned mono output.
//
// Threads: set-up (add_voice, voice_data, set_output_rate) on the main thread before anything
// plays; post() from exactly one producer (the sequencer thread, or the headless driver);
// render() and the DeviceClock from exactly one consumer (the audio callback, or the headless
// driver). The two sides meet only in a lock-free single-producer queue, so the audio callback
// never waits on the sequencer. All storage is static: nothing is allocated after start-up.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

namespace mixer {

constexpr uint32_t kMaxVoices = 16;         // the demo uses nine
constexpr uint32_t kStorageBytes = 65536;   // bytes of all samples; the demo's nine need 49,268
constexpr uint32_t kQueueCapacity = 1024;   // pending calls; a sequencer row makes at most 40
constexpr int32_t kSilentVolume = -10000;   // hundredths of a dB: no sound at all
constexpr uint32_t kMinFrequency = 100;     // Hz, the lowest playback rate a buffer takes
constexpr uint32_t kMaxFrequency = 200000;  // Hz, the highest

enum class Op : uint8_t { stop, set_position, set_frequency, set_volume, play };

// One buffer call, stamped by the producer. The stamp's unit is whatever the consumer's
// StampMap turns into output samples: output samples themselves (headless) or nanoseconds of
// the steady clock (SDL2).
struct Command {
    int64_t stamp;
    uint8_t voice;
    Op op;
    int32_t argument;  // byte position, Hz or hundredths of a dB
};

struct Voice {
    uint8_t* data;
    uint32_t size;          // bytes
    uint32_t format_rate;   // Hz: the rate a frequency of 0 goes back to
    uint32_t frequency;     // Hz, current playback rate
    uint64_t position;      // bytes, 32.32 fixed point
    uint64_t step;          // bytes per output sample, 32.32 fixed point
    int32_t volume;         // hundredths of a dB
    int32_t gain;           // amplitude, 16.16 fixed point (65536 = full level)
    bool playing;
};

struct Mixer {
    uint32_t output_rate;  // Hz
    uint8_t storage[kStorageBytes];
    uint32_t storage_used;  // bytes
    Voice voices[kMaxVoices];
    // Published with release once a voice is set up, so a running callback never sees half of one.
    std::atomic<uint32_t> voice_count;

    Command queue[kQueueCapacity];
    std::atomic<uint32_t> queue_head;  // next command to apply; written by the consumer
    std::atomic<uint32_t> queue_tail;  // next free slot; written by the producer

    int64_t clock;  // output samples rendered so far (consumer)

    // Diagnostics, readable from any thread.
    std::atomic<uint32_t> dropped;  // calls lost to a full queue
    std::atomic<uint32_t> late;     // calls applied after the sample they were meant for
};

// Maps a command's stamp to the output sample it takes effect at:
// sample = offset + (stamp - origin) * samples_per_unit, rounded to nearest.
struct StampMap {
    int64_t origin;
    double samples_per_unit;
    double offset;
};

constexpr StampMap kStampsAreSamples = {0, 1.0, 0.0};

// Empties the mixer: no voices, output at `output_rate`, clock 0.
void init(Mixer& m, uint32_t output_rate);
// A stopped voice of `bytes` bytes at position 0, playing at `format_rate`, full level.
// Its bytes start at 128 (silence). -1 when the static storage or the voice table is full.
int add_voice(Mixer& m, uint32_t bytes, uint32_t format_rate);
uint8_t* voice_data(Mixer& m, int voice);
// Changes the output rate; the voices keep their playback rates in Hz.
void set_output_rate(Mixer& m, uint32_t output_rate);

// Producer: queues one call. False (and counted in `dropped`) if the queue is full.
bool post(Mixer& m, int voice, Op op, int32_t argument, int64_t stamp);
// Producer: true when no room is left for another call.
bool queue_full(const Mixer& m);
// A producer that is also the consumer (an offline or in-thread mix): queues the call at the
// current clock, so the next render applies it at its first sample. A full queue is applied
// first: its calls would have taken effect at that same sample anyway.
void post_now(Mixer& m, int voice, Op op, int32_t argument);

// Consumer: renders the next `samples` output samples. A queued call whose mapped sample falls
// inside the block takes effect exactly there; one mapped before the block takes effect at its
// start (and counts as late unless it was meant for the block's very start); later ones wait.
void render(Mixer& m, uint8_t* out, uint32_t samples, const StampMap& map);
// Consumer: applies every queued call now, at the current clock.
void apply_pending(Mixer& m);
// Consumer: every voice back to its set-up state (stopped, position 0, format rate, full
// level), queued calls dropped, clock 0. The sample bytes are kept.
void reset_playback(Mixer& m);

// Amplitude factor of a level in hundredths of a dB, 16.16 fixed point: 10^(v/2000), 0 at
// -10000 and below, 65536 at 0 and above.
int32_t gain_of_volume(int32_t centibels);

// ---------------------------------------------------------------------------------------------
// Device clock: turns steady-clock call times into output samples for a live device, so that
// every call sounds at one fixed latency after it was made, whatever the device's callback
// jitter. Each callback reports when it ran and which sample it starts; the clock keeps a
// linear wall-time-to-sample mapping that never lets a callback run ahead of it (calls would
// come too late), creeps back slowly when the callbacks fall behind it (drift, a burst at
// start) and starts over after a stall or a new device.

struct DeviceClock {
    uint32_t rate;            // output samples per second
    double latency;           // samples from a call's time to its output sample
    bool anchored;            // false until the first callback (and after a reset)
    int64_t epoch_ns;         // steady-clock time of the first callback; keeps doubles small
    double origin;            // mapped sample at epoch_ns
    uint32_t block_samples;   // longest callback block seen
};

constexpr double kClockCreepSamples = 0.05;   // samples the mapping may move back per callback
constexpr double kClockStallSeconds = 0.1;    // a callback this late starts the mapping over
constexpr double kClockMarginSeconds = 0.001; // latency beyond one callback block

// `rate` in Hz; the latency is one block plus the margin, fixed by the first callbacks.
void clock_reset(DeviceClock& c, uint32_t rate);
// Consumer, at the start of each callback: `now_ns` the steady clock, `block_start` the mixer's
// clock, `block_samples` the block's length.
void clock_on_block(DeviceClock& c, int64_t now_ns, int64_t block_start, uint32_t block_samples);
// The map render() uses for commands stamped with the steady clock in nanoseconds.
StampMap clock_map(const DeviceClock& c);

}  // namespace mixer
