// Test shim, frame half, loaded with LD_PRELOAD into runs of the real programs (which carry no
// test hooks of their own). Each feature is off unless its variable is set:
//
//   DEMO_SHIM_FIRST_TICK=N   SDL_GetTicks answers N at its first call in the process and runs
//                            on from there (modulo 2^32), so N a little below 2^32 wraps the
//                            tick counter during the run.
//   DEMO_SHIM_TICK_SCALE=K   the ticks run K times faster than real time (with FIRST_TICK or
//                            from the real first value), for a whole script in a few seconds.
//   DEMO_SHIM_FRAME_MS=M     SDL_GL_SwapWindow returns no sooner than M ms after the previous
//                            swap: a slow machine at 1000/M frames per second.
//   DEMO_SHIM_LOG=path       one line per presented frame: scene time (ticks since the frame
//                            loop's origin), raw ticks, real ms since the origin, and a digest of the
//                            640 x 480 picture read back just before the swap, and the wall
//                            clock in ms (for scripts that time their own actions against the
//                            frames); then an exit line
//                            with the exit code, the frame count, the peak resident memory and
//                            the times from the process start (the shim's loading) to the visual
//                            clock's origin and to the first swap. Before the first frame, a
//                            line "gl VERSION": the GL_VERSION string of the context drawn with
//                            ("OpenGL ES 3.x ..." for the layer, a legacy version otherwise).
//
// The allocation census (DEMO_CENSUS) is the other half: heap_census.cpp. Threads: the tick and
// swap functions run on the demo's main thread.
#include <dlfcn.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"
#include "tests/tools/shim.h"

using shim::now_ns;
using shim::print;
using shim::wall_ms;

namespace {

int64_t loaded_ns;       // when the shim was loaded, as the process started
int64_t first_swap_ns;   // when the first frame was presented
int64_t first_real_ns;   // when SDL_GetTicks was first called
bool ticks_started;
uint32_t first_tick;     // what it answered then
bool first_tick_set;     // DEMO_SHIM_FIRST_TICK given
double tick_scale = 1.0;
// The last two answers SDL_GetTicks gave each thread. On the main thread the frame loop asks
// for the clock's origin, polls Escape (SDL's own clock reads do not come through here) and
// then asks for the first frame's tick, so at the first swap the one before last is the origin.
struct TickCall {
    uint32_t tick;
    int64_t ns;  // when it was answered
};
__attribute__((tls_model("initial-exec"))) thread_local TickCall last_call, previous_call;
TickCall origin;      // the visual clock's origin, taken at the first swap
bool origin_known;
int64_t frame_ns;        // least time between two swaps (0: no pacing)
int64_t last_swap_ns;
uint64_t frames;
int log_fd = -1;
bool activated;
using ExitFunction = void (*)(int);
ExitFunction real_exit;      // _exit and _Exit, looked up before any thread can hold the
ExitFunction real_exit_now;  // loader's lock across a fork
pid_t shim_pid;              // the process the shim was loaded into

// Read back before each swap; 640 x 480 RGBA.
uint8_t picture[platform::kPictureWidth * platform::kPictureHeight * 4];

__attribute__((constructor)) void read_settings() {
    loaded_ns = now_ns();
    shim_pid = getpid();
    real_exit = reinterpret_cast<ExitFunction>(dlsym(RTLD_NEXT, "_exit"));
    real_exit_now = reinterpret_cast<ExitFunction>(dlsym(RTLD_NEXT, "_Exit"));
    if (const char* s = getenv("DEMO_SHIM_TICK_SCALE")) tick_scale = strtod(s, nullptr);
    if (const char* s = getenv("DEMO_SHIM_FRAME_MS")) frame_ns = int64_t(strtod(s, nullptr) * 1e6);
    if (const char* s = getenv("DEMO_SHIM_FIRST_TICK")) {
        first_tick = uint32_t(strtoull(s, nullptr, 10));
        first_tick_set = true;
    }
}

// Real milliseconds since the visual clock's origin.
double real_ms() { return origin_known ? double(now_ns() - origin.ns) / 1e6 : 0.0; }
// The scene time of the frame being drawn (or, at the exit, of the frame that ended the script).
uint32_t scene_ms() { return origin_known ? uint32_t(last_call.tick - origin.tick) : 0; }

// The picture's digest: pixels not black (some channel above 24 of 255) and neutral grey pixels
// (r = g = b above 24: caption words and strokes; the scenes are coloured).
void log_frame() {
    using ReadPixels = void (*)(int, int, int, int, unsigned, unsigned, void*);
    static auto read_pixels = reinterpret_cast<ReadPixels>(dlsym(RTLD_DEFAULT, "glReadPixels"));
    if (read_pixels == nullptr) return;
    constexpr unsigned kRgba = 0x1908, kUnsignedByte = 0x1401;  // GL_RGBA, GL_UNSIGNED_BYTE
    read_pixels(0, 0, platform::kPictureWidth, platform::kPictureHeight, kRgba, kUnsignedByte, picture);
    uint32_t lit = 0, grey = 0;
    for (int i = 0; i < platform::kPictureWidth * platform::kPictureHeight; ++i) {
        const uint8_t r = picture[4 * i], g = picture[4 * i + 1], b = picture[4 * i + 2];
        if (r <= 24 && g <= 24 && b <= 24) continue;
        ++lit;
        if (r == g && g == b) ++grey;
    }
    print(log_fd, "frame t %u raw %u real %.1f lit %u grey %u wall %.1f\n", scene_ms(), last_call.tick, real_ms(), lit,
          grey, wall_ms());
}

[[noreturn]] void finish(ExitFunction real, int code) {
    // A child forked by a library (D-Bus starting a helper) leaves the files to the parent.
    if (getpid() != shim_pid) {
        real(code);
        __builtin_unreachable();
    }
    if (log_fd >= 0) {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        print(log_fd, "exit code %d t %u real %.1f frames %llu maxrss_kb %ld clock_ms %.1f first_frame_ms %.1f wall %.1f\n",
              code, scene_ms(), real_ms(), static_cast<unsigned long long>(frames), usage.ru_maxrss,
              origin_known ? double(origin.ns - loaded_ns) / 1e6 : -1.0,
              first_swap_ns != 0 ? double(first_swap_ns - loaded_ns) / 1e6 : -1.0, wall_ms());
        close(log_fd);
        log_fd = -1;
    }
    census::write();
    real(code);
    __builtin_unreachable();
}

__attribute__((destructor)) void at_normal_exit() {
    if (getpid() != shim_pid) return;
    if (log_fd >= 0) {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        print(log_fd, "exit code returned frames %llu maxrss_kb %ld\n", static_cast<unsigned long long>(frames),
              usage.ru_maxrss);
        close(log_fd);
        log_fd = -1;
    }
    census::write();
}

}  // namespace

// Asked of the real library (the programs' own GL entry points cover only OpenGL 1.1 drawing).
void log_gl_version() {
    using GetString = const unsigned char* (*)(unsigned);
    static auto get_string = reinterpret_cast<GetString>(dlsym(RTLD_DEFAULT, "glGetString"));
    constexpr unsigned kVersion = 0x1F02;  // GL_VERSION
    const unsigned char* version = get_string != nullptr ? get_string(kVersion) : nullptr;
    print(log_fd, "gl %s\n", version != nullptr ? reinterpret_cast<const char*>(version) : "unknown");
}

// The files are opened by the first call that shows this is the program under test, not a
// wrapper such as timeout that the variables passed through. Programs it starts from then on
// run without the shim.
void shim::activate() {
    if (activated) return;
    activated = true;
    census::open_output();
    log_fd = shim::open_for_writing("DEMO_SHIM_LOG");
    for (const char* v : {"LD_PRELOAD", "DEMO_CENSUS", "DEMO_SHIM_LOG", "DEMO_SHIM_TICK_SCALE", "DEMO_SHIM_FRAME_MS",
                          "DEMO_SHIM_FIRST_TICK"})
        unsetenv(v);
}

// ---------------------------------------------------------------------------------------------
// Interposed functions.

extern "C" {

uint32_t SDL_GetTicks(void) {
    using GetTicks = uint32_t (*)();
    static auto real = reinterpret_cast<GetTicks>(dlsym(RTLD_NEXT, "SDL_GetTicks"));
    shim::activate();
    const uint32_t now = real();
    if (!ticks_started) {
        ticks_started = true;
        first_real_ns = now_ns();
        if (!first_tick_set) first_tick = now;
    }
    // Modulo 2^32, like the tick counter it stands in for.
    const int64_t ns = now_ns();
    const uint32_t tick = first_tick + uint32_t(uint64_t(double(ns - first_real_ns) / 1e6 * tick_scale));
    previous_call = last_call;
    last_call = {tick, ns};
    return tick;
}

void SDL_GL_SwapWindow(void* window) {
    using Swap = void (*)(void*);
    static auto real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    shim::activate();
    if (frames == 0) {
        first_swap_ns = now_ns();
        origin = previous_call;
        origin_known = true;
    }
    if (frames == 0 && log_fd >= 0) log_gl_version();
    census::frame_presented(frames == 0);
    ++frames;
    if (log_fd >= 0) log_frame();
    real(window);
    if (frame_ns > 0) {
        const int64_t due = last_swap_ns + frame_ns;
        int64_t now = now_ns();
        while (last_swap_ns != 0 && now < due) {
            const int64_t wait = due - now;
            timespec ts{time_t(wait / 1000000000), long(wait % 1000000000)};
            nanosleep(&ts, nullptr);
            now = now_ns();
        }
        last_swap_ns = now;
    }
}

// noreturn already, as the C library declares them.
void _exit(int code) { finish(real_exit, code); }
void _Exit(int code) { finish(real_exit_now, code); }

}  // extern "C"
