// Test shim, census half (DEMO_CENSUS=path): counts heap allocation calls by the object file
// that made them and writes the table there at exit; see below. The frame half, which activates
// the shim and calls the hooks of shim.h, is frame_timing.cpp. Threads: the allocation functions
// run on any thread.
#include <dlfcn.h>
#include <link.h>
#include <unwind.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "tests/tools/shim.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void* __libc_valloc(size_t);
void* __libc_pvalloc(size_t);
void __libc_free(void*);
}

using shim::print;

namespace {

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

// Everything up to the program's own first phase (the live demo's first swap) is counted as
// "process start".
__attribute__((constructor)) void read_settings() {
    census_enabled = getenv("DEMO_CENSUS") != nullptr;
    begin_phase("process start");
}

}  // namespace

namespace census {

void open_output() { census_fd = shim::open_for_writing("DEMO_CENSUS"); }

void frame_presented(bool first) {
    if (first) begin_phase("frames");
    const int phase = current_phase.load(std::memory_order_relaxed);
    if (phase >= 0) ++phase_frames[phase];
}

void write() { write_census(); }

}  // namespace census

// ---------------------------------------------------------------------------------------------
// Interposed functions.

extern "C" {

__attribute__((visibility("default"))) void demo_census_phase(const char* name) {
    shim::activate();
    begin_phase(name);
}

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
