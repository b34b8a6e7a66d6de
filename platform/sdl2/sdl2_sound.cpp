// SDL2 sound: the default audio device, fed by the software mixer from SDL's audio thread.
//
// Threads: set-up calls on the main thread; buffer calls on the sequencer thread, which only
// stamps them with the steady clock and queues them (no lock, no allocation); the mix in SDL's
// audio callback, which places each call at the sample its stamp maps to, one fixed latency
// later, so rows keep their timing to well under a millisecond whatever size SDL's blocks are.
// A small watcher thread reopens the default device if the one in use goes away.
#include <SDL2/SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include "platform/common/mixer.h"
#include "platform/common/sound_buffers.h"
#include "platform/platform.h"

namespace {

constexpr uint16_t kDeviceSamples = 512;    // per callback: 11.6 ms at 44,100 Hz
constexpr uint32_t kWatchMs = 200;          // how often the watcher looks at the device
constexpr uint32_t kReopenEveryMs = 1000;   // how often it tries while no device can be had
constexpr uint32_t kStatsEveryMs = 5000;    // how often DEMO_AUDIO_STATS prints a line
constexpr const char* kPulseLatencyMs = "40";  // ms of buffer asked of PulseAudio
constexpr int kAudioRealtimePriority = 10;      // SCHED_RR level of the audio thread (1..99)
constexpr uint32_t kSettleCallbacks = 4;    // callbacks that show a device has started
constexpr uint32_t kSettleMaxMs = 4000;     // longest wait for them at an open

mixer::DeviceClock device_clock;  // audio callback only (or whoever holds device_lock with no device)
uint32_t output_rate = platform::kSampleRate;
bool device_created;

// Opening, closing and the device id belong to whoever holds this: the main thread during
// set-up, the watcher afterwards. The callback and the sequencer never take it.
std::mutex device_lock;
SDL_AudioDeviceID device_id;  // 0 while no device is open

// Callbacks since the device was opened, and a request to start the clock mapping afresh.
std::atomic<uint32_t> callbacks_seen;
std::atomic<bool> restart_clock;

// DEMO_AUDIO_STATS: what the callback costs and how well the calls keep time.
bool stats_wanted;
std::atomic<int64_t> stats_busy_ns;
std::atomic<int64_t> stats_max_block_ns;
std::atomic<int64_t> stats_samples;
std::atomic<uint32_t> stats_jumps;       // times the clock mapping moved up by a sample or more
std::atomic<int64_t> stats_jump_samples;

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SDLCALL fill(void*, Uint8* stream, int len) {
    const int64_t start = now_ns();
    thread_local bool realtime_asked = false;  // each device open brings a thread of its own
    if (!realtime_asked) {
        // SDL gives its audio thread a high nice level only; where the system allows it
        // (root, or an rtprio limit), round-robin real-time keeps a busy machine from starving
        // the mix. Refused: the thread goes on as it was.
        realtime_asked = true;
        sched_param param{};
        param.sched_priority = kAudioRealtimePriority;
        pthread_setschedparam(pthread_self(), SCHED_RR, &param);
    }
    if (restart_clock.exchange(false, std::memory_order_acquire)) mixer::clock_reset(device_clock, output_rate);
    callbacks_seen.fetch_add(1, std::memory_order_relaxed);
    const double origin_before = device_clock.origin;
    const bool was_anchored = device_clock.anchored;
    mixer::Mixer& mix = sound_buffers::the_mixer();
    mixer::clock_on_block(device_clock, start, mix.clock, uint32_t(len));
    mixer::render(mix, stream, uint32_t(len), mixer::clock_map(device_clock));
    if (stats_wanted) {
        const int64_t busy = now_ns() - start;
        stats_busy_ns.fetch_add(busy, std::memory_order_relaxed);
        if (busy > stats_max_block_ns.load(std::memory_order_relaxed))
            stats_max_block_ns.store(busy, std::memory_order_relaxed);
        stats_samples.fetch_add(len, std::memory_order_relaxed);
        const double jump = device_clock.origin - origin_before;
        if (was_anchored && jump >= 1.0) {
            stats_jumps.fetch_add(1, std::memory_order_relaxed);
            stats_jump_samples.fetch_add(int64_t(jump), std::memory_order_relaxed);
        }
    }
}

// Opens and starts the default device at the output rate; 0 if there is none. Holds device_lock.
//
// Some servers take the first block at once and then ask for nothing more for up to two
// seconds while their sink wakes up (PulseAudio's null sink does). Anchoring the clock on that
// first block would squeeze every call made meanwhile into one instant, so the open waits until
// the device asks for blocks steadily and then has the clock start afresh.
SDL_AudioDeviceID open_default_device() {
    SDL_AudioSpec want{};
    want.freq = int(output_rate);
    want.format = AUDIO_U8;
    want.channels = 1;
    want.samples = kDeviceSamples;
    want.callback = fill;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts from the mixer's 8-bit mono to whatever the device takes.
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id != 0) {
        callbacks_seen.store(0, std::memory_order_relaxed);
        restart_clock.store(true, std::memory_order_release);
        SDL_PauseAudioDevice(id, 0);
        const uint32_t deadline = SDL_GetTicks() + kSettleMaxMs;
        while (callbacks_seen.load(std::memory_order_relaxed) < kSettleCallbacks &&
               int32_t(SDL_GetTicks() - deadline) < 0)
            SDL_Delay(1);
        restart_clock.store(true, std::memory_order_release);
    }
    return id;
}

// QUIRK: where a PulseAudio server answers (PipeWire's pipewire-pulse included) it is used even
// if SDL would pick its native PipeWire backend (newer SDL releases do by default, and
// SDL_AUDIODRIVER=pipewire asks for it). That backend fills PipeWire's buffers from a
// non-real-time loop that the graph wakes once a cycle, with no buffer queued ahead, so any
// wake-up later than one quantum is a gap: on a loaded 2-core machine tens of gaps of 10 to
// 500 ms a minute, at every block size and output rate tried (BENCHMARKS.md). The PulseAudio
// path is buffered on the server's side (kPulseLatencyMs) and rides such wake-ups out. Any
// other driver named in SDL_AUDIODRIVER is honoured as it stands.
bool init_audio_driver() {
    const char* asked = SDL_getenv("SDL_AUDIODRIVER");
    if (asked == nullptr || SDL_strcasecmp(asked, "pipewire") == 0) {
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "pulseaudio", SDL_HINT_OVERRIDE);
        const bool pulse = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        if (pulse) return true;
    }
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

void print_stats() {
    const double audio_s = double(stats_samples.load(std::memory_order_relaxed)) / output_rate;
    const double busy_s = double(stats_busy_ns.load(std::memory_order_relaxed)) * 1e-9;
    std::fprintf(stderr,
                 "demo: audio stats (%s): %.1f s mixed, callback busy %.4f %% of audio time (longest block %.1f us), "
                 "late calls %u, dropped %u, clock moved up %u times by %lld samples in all\n",
                 SDL_GetCurrentAudioDriver(), audio_s, audio_s > 0 ? 100.0 * busy_s / audio_s : 0.0,
                 double(stats_max_block_ns.load(std::memory_order_relaxed)) * 1e-3,
                 sound_buffers::the_mixer().late.load(std::memory_order_relaxed),
                 sound_buffers::the_mixer().dropped.load(std::memory_order_relaxed),
                 stats_jumps.load(std::memory_order_relaxed),
                 static_cast<long long>(stats_jump_samples.load(std::memory_order_relaxed)));
}

// The watcher: notices a device that went away (SDL stops calling back and reports it stopped),
// closes it, keeps the buffers' state current while there is none, and reopens the default
// device so the song goes on.
int SDLCALL watch_device(void*) {
    uint32_t since_reopen_try = kReopenEveryMs;
    uint32_t since_stats = 0;
    for (;;) {
        SDL_Delay(kWatchMs);
        {
            std::lock_guard<std::mutex> hold(device_lock);
            if (device_id != 0 && SDL_GetAudioDeviceStatus(device_id) == SDL_AUDIO_STOPPED) {
                std::fprintf(stderr, "demo: audio device lost: waiting for the default device\n");
                SDL_CloseAudioDevice(device_id);
                device_id = 0;
                since_reopen_try = kReopenEveryMs;
            }
            if (device_id == 0) {
                // No callback runs now, so this thread is the mixer's only consumer: apply the
                // sequencer's calls as they come so none is lost to a full queue.
                mixer::apply_pending(sound_buffers::the_mixer());
                since_reopen_try += kWatchMs;
                if (since_reopen_try >= kReopenEveryMs) {
                    since_reopen_try = 0;
                    device_id = open_default_device();
                    if (device_id != 0) std::fprintf(stderr, "demo: audio device back: the song goes on\n");
                }
            }
        }
        since_stats += kWatchMs;
        if (stats_wanted && since_stats >= kStatsEveryMs) {
            since_stats = 0;
            print_stats();
        }
    }
}

bool open_device() {
    if (device_created) return true;
    stats_wanted = std::getenv("DEMO_AUDIO_STATS") != nullptr;
    // SDL asks PulseAudio for a buffer of one block, so any hiccup of the audio thread longer
    // than a block is a dropout. A little more buffer in the server rides them out; the calls
    // keep their timing whatever the buffer, since the mixer places them by their stamps.
    setenv("PULSE_LATENCY_MSEC", kPulseLatencyMs, 0);
    // Where no sound server runs, SDL falls back to ALSA, whose library prints its own
    // complaints on stderr; the one line below says all that matters, so they are held back.
    std::fflush(stderr);
    const int saved_stderr = dup(2);
    const int null_fd = open("/dev/null", O_WRONLY);
    if (saved_stderr >= 0 && null_fd >= 0) dup2(null_fd, 2);
    bool opened = init_audio_driver();
    if (opened) {
        std::lock_guard<std::mutex> hold(device_lock);
        device_id = open_default_device();
        opened = device_id != 0;
    }
    if (saved_stderr >= 0 && null_fd >= 0) dup2(saved_stderr, 2);
    if (saved_stderr >= 0) close(saved_stderr);
    if (null_fd >= 0) close(null_fd);
    if (!opened) {
        std::fprintf(stderr, "demo: no audio device (%s): playing without sound\n", SDL_GetError());
        return false;
    }
    device_created = true;
    SDL_Thread* watcher = SDL_CreateThread(watch_device, "audio watcher", nullptr);
    if (watcher != nullptr) SDL_DetachThread(watcher);
    return true;
}

void change_output_rate(mixer::Mixer& m, uint32_t hz) {
    std::lock_guard<std::mutex> hold(device_lock);
    if (device_id != 0) SDL_CloseAudioDevice(device_id);
    output_rate = hz;
    mixer::set_output_rate(m, hz);
    device_id = open_default_device();
}

// Stamped with the steady clock; the callback places the call one fixed latency later.
void queue(mixer::Mixer& m, int voice, mixer::Op op, int32_t argument) {
    mixer::post(m, voice, op, argument, now_ns());
}

constexpr sound_buffers::Hooks kHooks{open_device, change_output_rate, queue, nullptr};

}  // namespace

platform::SoundDeviceHandle platform::sound_create_device() { return sound_buffers::open(kHooks); }
