// Software mixer: the one-shot buffer voices, the call queue between the sequencer and the
// audio side, block rendering with calls placed at their own sample, and the device clock.
// Threads as in mixer.h: post() on the producer, render() and the clock on the consumer.
#include "platform/common/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mixer {

namespace {

constexpr uint32_t kQueueMask = kQueueCapacity - 1;
static_assert((kQueueCapacity & kQueueMask) == 0, "the queue indexes by masking");

constexpr uint32_t kChunk = 256;  // samples summed per pass over the voices

uint64_t step_of(uint32_t frequency, uint32_t output_rate) {
    return (uint64_t(frequency) << 32) / output_rate;
}

void set_frequency(Mixer& m, Voice& v, uint32_t hz) {
    // 0 asks for the buffer's own format rate, as with DirectSound.
    if (hz == 0) hz = v.format_rate;
    v.frequency = std::clamp(hz, kMinFrequency, kMaxFrequency);
    v.step = step_of(v.frequency, m.output_rate);
}

void set_volume(Voice& v, int32_t centibels) {
    v.volume = std::clamp(centibels, kSilentVolume, 0);
    v.gain = gain_of_volume(v.volume);
}

void rewind(Mixer& m, Voice& v) {
    v.playing = false;
    v.position = 0;
    set_frequency(m, v, v.format_rate);
    set_volume(v, 0);
}

void apply(Mixer& m, const Command& c) {
    if (c.voice >= m.voice_count.load(std::memory_order_acquire)) return;
    Voice& v = m.voices[c.voice];
    switch (c.op) {
    case Op::stop:
        v.playing = false;  // the position stays where playing stopped
        break;
    case Op::set_position:
        // A position past the end is refused and changes nothing.
        if (c.argument >= 0 && uint32_t(c.argument) < v.size) v.position = uint64_t(c.argument) << 32;
        break;
    case Op::set_frequency:
        set_frequency(m, v, uint32_t(c.argument));
        break;
    case Op::set_volume:
        set_volume(v, c.argument);
        break;
    case Op::play:
        v.playing = true;  // already playing: goes on from where it is
        break;
    }
}

// Sums the playing voices into `acc` (32.32 fixed point, sample 0 = silence) for `n` samples.
void sum_voices(Mixer& m, int64_t* acc, uint32_t n) {
    const uint32_t count = m.voice_count.load(std::memory_order_acquire);
    for (uint32_t k = 0; k < count; ++k) {
        Voice& v = m.voices[k];
        if (!v.playing) continue;
        const uint8_t* d = v.data;
        const uint64_t end = uint64_t(v.size) << 32;
        const uint32_t last = v.size - 1;
        const int64_t gain = v.gain;
        uint64_t pos = v.position;
        for (uint32_t i = 0; i < n; ++i) {
            if (pos >= end) {
                // Played to its end: stopped and standing at its first sample again, so a later
                // play without a rewind sounds the sample from its start.
                v.playing = false;
                pos = 0;
                break;
            }
            const uint32_t idx = uint32_t(pos >> 32);
            const int32_t frac = int32_t((pos >> 16) & 0xFFFF);
            const int32_t a = int32_t(d[idx]) - 128;
            const int32_t b = int32_t(d[idx < last ? idx + 1 : idx]) - 128;
            const int32_t s = a * 65536 + (b - a) * frac;  // 16.16, linear interpolation
            acc[i] += int64_t(s) * gain;
            pos += v.step;
        }
        if (pos >= end) {
            v.playing = false;
            pos = 0;
        }
        v.position = pos;
    }
}

// Renders n samples with the voices as they stand, no calls in between.
void render_span(Mixer& m, uint8_t* out, uint32_t n) {
    int64_t acc[kChunk];
    while (n > 0) {
        const uint32_t len = std::min(n, kChunk);
        std::fill(acc, acc + len, 0);
        sum_voices(m, acc, len);
        for (uint32_t i = 0; i < len; ++i) {
            // Round to nearest and clip; the sum is never scaled down.
            const int64_t s = ((acc[i] + (int64_t(1) << 31)) >> 32) + 128;
            out[i] = uint8_t(std::clamp<int64_t>(s, 0, 255));
        }
        out += len;
        n -= len;
        m.clock += len;
    }
}

int64_t sample_of(const StampMap& map, int64_t stamp) {
    return int64_t(std::floor(map.offset + double(stamp - map.origin) * map.samples_per_unit + 0.5));
}

}  // namespace

int32_t gain_of_volume(int32_t centibels) {
    if (centibels <= kSilentVolume) return 0;
    if (centibels >= 0) return 65536;
    return int32_t(std::lround(65536.0 * std::pow(10.0, double(centibels) / 2000.0)));
}

void init(Mixer& m, uint32_t output_rate) {
    m.output_rate = output_rate;
    m.storage_used = 0;
    m.voice_count.store(0, std::memory_order_relaxed);
    m.queue_head.store(0, std::memory_order_relaxed);
    m.queue_tail.store(0, std::memory_order_relaxed);
    m.clock = 0;
    m.dropped.store(0, std::memory_order_relaxed);
    m.late.store(0, std::memory_order_relaxed);
}

int add_voice(Mixer& m, uint32_t bytes, uint32_t format_rate) {
    const uint32_t count = m.voice_count.load(std::memory_order_relaxed);
    if (bytes == 0 || count == kMaxVoices || bytes > kStorageBytes - m.storage_used) return -1;
    Voice& v = m.voices[count];
    v.data = m.storage + m.storage_used;
    v.size = bytes;
    v.format_rate = format_rate;
    std::memset(v.data, 128, bytes);
    rewind(m, v);
    m.storage_used += bytes;
    m.voice_count.store(count + 1, std::memory_order_release);
    return int(count);
}

uint8_t* voice_data(Mixer& m, int voice) {
    return voice >= 0 && uint32_t(voice) < m.voice_count.load(std::memory_order_relaxed) ? m.voices[voice].data
                                                                                       : nullptr;
}

void set_output_rate(Mixer& m, uint32_t output_rate) {
    m.output_rate = output_rate;
    const uint32_t count = m.voice_count.load(std::memory_order_relaxed);
    for (uint32_t k = 0; k < count; ++k) m.voices[k].step = step_of(m.voices[k].frequency, output_rate);
}

bool queue_full(const Mixer& m) {
    return m.queue_tail.load(std::memory_order_relaxed) - m.queue_head.load(std::memory_order_acquire) ==
           kQueueCapacity;
}

bool post(Mixer& m, int voice, Op op, int32_t argument, int64_t stamp) {
    const uint32_t tail = m.queue_tail.load(std::memory_order_relaxed);
    if (tail - m.queue_head.load(std::memory_order_acquire) == kQueueCapacity) {
        m.dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    m.queue[tail & kQueueMask] = Command{stamp, uint8_t(voice), op, argument};
    m.queue_tail.store(tail + 1, std::memory_order_release);
    return true;
}

void post_now(Mixer& m, int voice, Op op, int32_t argument) {
    if (queue_full(m)) apply_pending(m);
    post(m, voice, op, argument, m.clock);
}

void render(Mixer& m, uint8_t* out, uint32_t samples, const StampMap& map) {
    const int64_t block_start = m.clock;
    const int64_t block_end = block_start + samples;
    uint32_t head = m.queue_head.load(std::memory_order_relaxed);
    const uint32_t tail = m.queue_tail.load(std::memory_order_acquire);
    while (m.clock < block_end) {
        int64_t next = block_end;  // where the next call applies, or the block's end
        while (head != tail) {
            const Command& c = m.queue[head & kQueueMask];
            const int64_t at = sample_of(map, c.stamp);
            if (at > m.clock) {
                next = std::min(at, block_end);
                break;
            }
            if (at < block_start) m.late.fetch_add(1, std::memory_order_relaxed);
            apply(m, c);
            ++head;
            // Hand the slot back at once so the producer never sees a needlessly full queue.
            m.queue_head.store(head, std::memory_order_release);
        }
        const uint32_t len = uint32_t(next - m.clock);
        render_span(m, out, len);
        out += len;
    }
}

void apply_pending(Mixer& m) {
    uint32_t head = m.queue_head.load(std::memory_order_relaxed);
    const uint32_t tail = m.queue_tail.load(std::memory_order_acquire);
    for (; head != tail; ++head) apply(m, m.queue[head & kQueueMask]);
    m.queue_head.store(head, std::memory_order_release);
}

void reset_playback(Mixer& m) {
    m.queue_head.store(m.queue_tail.load(std::memory_order_acquire), std::memory_order_release);
    const uint32_t count = m.voice_count.load(std::memory_order_relaxed);
    for (uint32_t k = 0; k < count; ++k) rewind(m, m.voices[k]);
    m.clock = 0;
}

// ---------------------------------------------------------------------------------------------

void clock_reset(DeviceClock& c, uint32_t rate) {
    c.rate = rate;
    c.latency = 0.0;
    c.anchored = false;
    c.epoch_ns = 0;
    c.origin = 0.0;
    c.block_samples = 0;
}

void clock_on_block(DeviceClock& c, int64_t now_ns, int64_t block_start, uint32_t block_samples) {
    if (block_samples > c.block_samples) {
        c.block_samples = block_samples;
        c.latency = double(block_samples) + kClockMarginSeconds * c.rate;
    }
    if (!c.anchored) {
        c.anchored = true;
        c.epoch_ns = now_ns;
        c.origin = double(block_start);
        return;
    }
    const double mapped_now = c.origin + double(now_ns - c.epoch_ns) * 1e-9 * c.rate;
    const double lead = double(block_start) - mapped_now;  // how far this block runs ahead
    if (lead > 0.0 || lead < -kClockStallSeconds * c.rate) {
        // Ahead: calls made from now on would come too late, so the mapping moves up at once.
        // Far behind: the device stalled or is new; the old mapping means nothing any more.
        c.origin += lead;
    } else {
        // Behind by a little: creep back, too slowly to be heard as jitter.
        c.origin -= std::min(kClockCreepSamples, -lead);
    }
}

StampMap clock_map(const DeviceClock& c) {
    return StampMap{c.epoch_ns, 1e-9 * c.rate, c.origin + c.latency};
}

}  // namespace mixer
