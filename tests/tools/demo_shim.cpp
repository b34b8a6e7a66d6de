// Test shim for runs of the real programs, loaded with LD_PRELOAD; the programs carry no test
// hooks of their own. Each feature is off unless its variable is set:
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
//   DEMO_CENSUS=path         counts heap allocation calls by the object file that made them
//                            (see census below) and writes the table there at exit.
//
// Threads: the tick and swap functions run on the demo's main thread; the allocation functions
// on any thread.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <unwind.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/platform.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void* __libc_valloc(size_t);
void* __libc_pvalloc(size_t);
void __libc_free(void*);
}

namespace {

// ---------------------------------------------------------------------------------------------
// Small helpers that never allocate.

int64_t now_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Milliseconds of the wall clock, the one `date +%s%N` reads in the test scripts.
double wall_ms() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void write_all(int fd, const char* text, size_t n) {
    while (n > 0) {
        const ssize_t w = write(fd, text, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;
        text += w;
        n -= size_t(w);
    }
}

void print(int fd, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    const int n = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n > 0) write_all(fd, line, std::min(size_t(n), sizeof line - 1));
}

int open_for_writing(const char* variable) {
    const char* path = getenv(variable);
    if (path == nullptr || *path == '\0') return -1;
    return open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

// ---------------------------------------------------------------------------------------------
// Census of heap allocations. Every allocation call is put down to the object file (the
// executable or a shared library) whose code asked for it: the return address of malloc or
// operator new, or, when that lies in the language runtime (libc, libstdc++, libgcc, libm, the
// loader, this shim), the first frame further out that does not. Counting runs in phases: the
// first, "process start", begins when the shim is loaded; the program under test names the
// next ones through demo_census_phase(), the live demo's first swap starts "frames" by itself. Code outside every object loaded when the phase began (a library
// loaded later, code made at run time) counts as "unknown".

constexpr int kMaxObjects = 256;
constexpr int kMaxPhases = 8;
constexpr int kUnknown = kMaxObjects;  // tally slot for addresses outside every known object

struct Object {
    uintptr_t lo[4], hi[4];  // executable segments
    int segments;
    uintptr_t base;          // load address: addresses minus this are addr2line's
    bool runtime;
    bool subject;            // the program itself or the demo's library: where its calls come from is kept
    char name[96];
};

// The first few distinct addresses in the program under test that allocated, per phase.
constexpr int kSubjectCallers = 8;
std::atomic<uintptr_t> subject_callers[kMaxPhases][kSubjectCallers];

struct Tally {
    std::atomic<uint64_t> calls;
    std::atomic<uint64_t> bytes;
};

// Callers that lay outside every known object when they allocated, by address, so that the
// table can put them down to the libraries loaded since (per phase, open addressing).
constexpr int kStrayCallers = 16384;
struct StrayCaller {
    std::atomic<uintptr_t> address;
    std::atomic<uint64_t> calls;
    std::atomic<uint64_t> bytes;
};
StrayCaller strays[kMaxPhases][kStrayCallers];

Object objects[kMaxObjects];
int object_count;                   // main thread's count while adding
std::atomic<int> visible_objects;  // entries the census may look at
Tally tallies[kMaxPhases][kMaxObjects + 1];
char phase_names[kMaxPhases][48];
uint64_t phase_frames[kMaxPhases];
int phase_count;
std::atomic<int> current_phase{-1};  // -1: not counting
int census_fd = -1;
bool census_enabled;  // DEMO_CENSUS given

// Set while a thread is inside the census itself: its own allocations pass uncounted.
__attribute__((tls_model("initial-exec"))) thread_local bool in_census;

const char* base_name(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

bool starts_with(const char* s, const char* prefix) { return strncmp(s, prefix, strlen(prefix)) == 0; }

bool known_object(uintptr_t lo) {
    for (int i = 0; i < object_count; ++i)
        if (objects[i].lo[0] == lo) return true;
    return false;
}

// Appends the objects not yet in the table; entries never change once counted in, so the
// allocating threads can read the table while the main thread adds to it.
int add_object(dl_phdr_info* info, size_t, void*) {
    if (object_count >= kMaxObjects) return 1;
    Object& o = objects[object_count];
    o.segments = 0;
    for (int i = 0; i < info->dlpi_phnum && o.segments < 4; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD || (ph.p_flags & PF_X) == 0) continue;
        o.lo[o.segments] = info->dlpi_addr + ph.p_vaddr;
        o.hi[o.segments] = o.lo[o.segments] + ph.p_memsz;
        ++o.segments;
    }
    if (o.segments == 0 || known_object(o.lo[0])) return 0;
    const char* path = info->dlpi_name;
    char exe[256];
    o.subject = path == nullptr || *path == '\0' || strstr(path, "demo_core") != nullptr;
    o.base = info->dlpi_addr;
    if (path == nullptr || *path == '\0') {  // the main program
        const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        exe[n > 0 ? n : 0] = '\0';
        path = exe;
    }
    const char* base = base_name(path);
    const size_t n = std::min(strlen(base), sizeof o.name - 1);
    memcpy(o.name, base, n);
    o.name[n] = '\0';
    o.runtime = starts_with(o.name, "libc.so") || starts_with(o.name, "libstdc++") ||
                starts_with(o.name, "libgcc_s") || starts_with(o.name, "libm.so") ||
                starts_with(o.name, "ld-linux") || starts_with(o.name, "linux-vdso") ||
                strstr(o.name, "demo_shim") != nullptr;
    visible_objects.store(++object_count, std::memory_order_release);
    return 0;
}

int find_object(uintptr_t address) {
    const int count = visible_objects.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i)
        for (int s = 0; s < objects[i].segments; ++s)
            if (address >= objects[i].lo[s] && address < objects[i].hi[s]) return i;
    return kUnknown;
}

struct Walk {
    int skipped;
    int owner;
    uintptr_t ip;  // the frame that decided
};

_Unwind_Reason_Code walk_frame(_Unwind_Context* context, void* data) {
    auto* walk = static_cast<Walk*>(data);
    const uintptr_t ip = _Unwind_GetIP(context);
    if (ip == 0 || ++walk->skipped > 48) return _URC_END_OF_STACK;
    const int o = find_object(ip - 1);
    if (o == kUnknown || !objects[o].runtime) {
        walk->owner = o;
        walk->ip = ip;
        return _URC_END_OF_STACK;
    }
    return _URC_NO_REASON;
}

void note_allocation(void* caller, size_t bytes) {
    const int phase = current_phase.load(std::memory_order_acquire);
    if (phase < 0 || in_census) return;
    in_census = true;
    uintptr_t ip = uintptr_t(caller);
    int owner = find_object(ip - 1);
    if (owner != kUnknown && objects[owner].runtime) {
        Walk walk{0, kUnknown, 0};
        _Unwind_Backtrace(walk_frame, &walk);
        owner = walk.owner;
        ip = walk.ip;
    }
    if (owner == kUnknown && ip != 0) {
        const uintptr_t key = ip;
        for (uint32_t i = 0, h = uint32_t(key >> 4) * 2654435761u; i < kStrayCallers; ++i) {
            StrayCaller& slot = strays[phase][(h + i) % kStrayCallers];
            uintptr_t seen = slot.address.load(std::memory_order_acquire);
            if (seen == 0 && slot.address.compare_exchange_strong(seen, key)) seen = key;
            if (seen != key) continue;
            slot.calls.fetch_add(1, std::memory_order_relaxed);
            slot.bytes.fetch_add(bytes, std::memory_order_relaxed);
            in_census = false;
            return;
        }
    }
    tallies[phase][owner].calls.fetch_add(1, std::memory_order_relaxed);
    tallies[phase][owner].bytes.fetch_add(bytes, std::memory_order_relaxed);
    if (owner != kUnknown && objects[owner].subject) {
        for (std::atomic<uintptr_t>& slot : subject_callers[phase]) {
            uintptr_t seen = slot.load(std::memory_order_acquire);
            if (seen == 0 && slot.compare_exchange_strong(seen, ip)) break;
            if (seen == ip) break;
        }
    }
    in_census = false;
}

bool census_wanted() { return census_enabled; }

void write_census() {
    if (census_fd < 0) return;
    current_phase.store(-1, std::memory_order_release);
    // Put the stray callers down to the objects loaded by now.
    dl_iterate_phdr(add_object, nullptr);
    for (int p = 0; p < phase_count; ++p) {
        for (StrayCaller& slot : strays[p]) {
            const uintptr_t address = slot.address.load();
            if (address == 0) continue;
            Tally& t = tallies[p][find_object(address - 1)];
            t.calls += slot.calls.load();
            t.bytes += slot.bytes.load();
        }
    }
    for (int p = 0; p < phase_count; ++p) {
        if (phase_frames[p] > 0)
            print(census_fd, "phase %s (%llu frames)\n", phase_names[p], static_cast<unsigned long long>(phase_frames[p]));
        else
            print(census_fd, "phase %s\n", phase_names[p]);
        for (int o = 0; o <= kMaxObjects; ++o) {
            if (o < kMaxObjects && o >= object_count) continue;
            const uint64_t calls = tallies[p][o].calls.load();
            const uint64_t bytes = tallies[p][o].bytes.load();
            const bool always = o < object_count && strstr(objects[o].name, "demo") != nullptr;
            if (calls == 0 && !always) continue;
            print(census_fd, "  %-40s calls %10llu bytes %14llu\n", o == kUnknown ? "unknown" : objects[o].name,
                  static_cast<unsigned long long>(calls), static_cast<unsigned long long>(bytes));
            if (o == kUnknown || !objects[o].subject || calls == 0) continue;
            for (std::atomic<uintptr_t>& slot : subject_callers[p]) {
                const uintptr_t ip = slot.load();
                if (ip != 0 && find_object(ip - 1) == o)
                    print(census_fd, "    from %s+0x%lx\n", objects[o].name, static_cast<unsigned long>(ip - objects[o].base));
            }
        }
    }
    close(census_fd);
    census_fd = -1;
}

void begin_phase(const char* name) {
    if (!census_wanted()) return;
    in_census = true;
    dl_iterate_phdr(add_object, nullptr);  // libraries loaded since the last phase, too
    in_census = false;
    if (phase_count >= kMaxPhases) return;
    snprintf(phase_names[phase_count], sizeof phase_names[0], "%s", name);
    current_phase.store(phase_count++, std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------
// Ticks, swaps and the frame log.

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
    // Everything up to the program's own first phase (the live demo's first swap) is counted
    // as "process start".
    census_enabled = getenv("DEMO_CENSUS") != nullptr;
    begin_phase("process start");
}

// The files are opened by the first call that shows this is the program under test, not a
// wrapper such as timeout that the variables passed through. Programs it starts from then on
// run without the shim.
void activate() {
    if (activated) return;
    activated = true;
    census_fd = open_for_writing("DEMO_CENSUS");
    log_fd = open_for_writing("DEMO_SHIM_LOG");
    for (const char* v : {"LD_PRELOAD", "DEMO_CENSUS", "DEMO_SHIM_LOG", "DEMO_SHIM_TICK_SCALE", "DEMO_SHIM_FRAME_MS",
                          "DEMO_SHIM_FIRST_TICK"})
        unsetenv(v);
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

// Asked of the real library (the programs' own GL entry points cover only OpenGL 1.1 drawing).
void log_gl_version() {
    using GetString = const unsigned char* (*)(unsigned);
    static auto get_string = reinterpret_cast<GetString>(dlsym(RTLD_DEFAULT, "glGetString"));
    constexpr unsigned kVersion = 0x1F02;  // GL_VERSION
    const unsigned char* version = get_string != nullptr ? get_string(kVersion) : nullptr;
    print(log_fd, "gl %s\n", version != nullptr ? reinterpret_cast<const char*>(version) : "unknown");
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
    write_census();
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
    write_census();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Interposed functions.

extern "C" {

__attribute__((visibility("default"))) void demo_census_phase(const char* name) {
    activate();
    begin_phase(name);
}

uint32_t SDL_GetTicks(void) {
    using GetTicks = uint32_t (*)();
    static auto real = reinterpret_cast<GetTicks>(dlsym(RTLD_NEXT, "SDL_GetTicks"));
    activate();
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
    activate();
    if (frames == 0) {
        first_swap_ns = now_ns();
        origin = previous_call;
        origin_known = true;
    }
    if (frames == 0 && log_fd >= 0) log_gl_version();
    if (frames == 0) begin_phase("frames");
    ++frames;
    if (current_phase.load(std::memory_order_relaxed) >= 0) ++phase_frames[current_phase.load()];
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

[[noreturn]] void _exit(int code) { finish(real_exit, code); }
[[noreturn]] void _Exit(int code) { finish(real_exit_now, code); }

// The allocation functions, counted, then served by glibc's own allocator (which free() and
// malloc_usable_size() keep using unchanged).
void* malloc(size_t n) {
    note_allocation(__builtin_return_address(0), n);
    return __libc_malloc(n);
}
void* calloc(size_t count, size_t n) {
    note_allocation(__builtin_return_address(0), count * n);
    return __libc_calloc(count, n);
}
void* realloc(void* p, size_t n) {
    if (n != 0) note_allocation(__builtin_return_address(0), n);
    return __libc_realloc(p, n);
}
void* memalign(size_t alignment, size_t n) {
    note_allocation(__builtin_return_address(0), n);
    return __libc_memalign(alignment, n);
}
void* aligned_alloc(size_t alignment, size_t n) {
    note_allocation(__builtin_return_address(0), n);
    return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, size_t alignment, size_t n) {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    note_allocation(__builtin_return_address(0), n);
    void* p = __libc_memalign(alignment, n);
    if (p == nullptr) return ENOMEM;
    *out = p;
    return 0;
}
void* valloc(size_t n) {
    note_allocation(__builtin_return_address(0), n);
    return __libc_valloc(n);
}
void* pvalloc(size_t n) {
    note_allocation(__builtin_return_address(0), n);
    return __libc_pvalloc(n);
}

}  // extern "C"

// operator new counted at its own caller, so an allocation made by the demo's code through new
// is put down to the demo even though libstdc++ would otherwise sit in between.
namespace {
void* counted_new(void* caller, size_t n, size_t alignment) {
    note_allocation(caller, n);
    void* p = alignment > alignof(std::max_align_t) ? __libc_memalign(alignment, n ? n : 1) : __libc_malloc(n ? n : 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
}  // namespace

void* operator new(size_t n) { return counted_new(__builtin_return_address(0), n, 0); }
void* operator new[](size_t n) { return counted_new(__builtin_return_address(0), n, 0); }
void* operator new(size_t n, std::align_val_t a) { return counted_new(__builtin_return_address(0), n, size_t(a)); }
void* operator new[](size_t n, std::align_val_t a) { return counted_new(__builtin_return_address(0), n, size_t(a)); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    note_allocation(__builtin_return_address(0), n);
    return __libc_malloc(n ? n : 1);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    note_allocation(__builtin_return_address(0), n);
    return __libc_malloc(n ? n : 1);
}
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }
void operator delete(void* p, std::align_val_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { __libc_free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { __libc_free(p); }
