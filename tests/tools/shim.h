// What the two halves of the test shim share (frame_timing.cpp: ticks, swaps, frame log, exits;
// heap_census.cpp: the allocation census), built together into libdemo_shim.so: small helpers
// that never allocate, and the census's side of the frame and exit hooks. Any thread.
#pragma once

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace shim {

inline int64_t now_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Milliseconds of the wall clock, the one `date +%s%N` reads in the test scripts.
inline double wall_ms() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

inline void write_all(int fd, const char* text, size_t n) {
    while (n > 0) {
        const ssize_t w = write(fd, text, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;
        text += w;
        n -= size_t(w);
    }
}

inline void print(int fd, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    const int n = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n > 0) write_all(fd, line, std::min(size_t(n), sizeof line - 1));
}

inline int open_for_writing(const char* variable) {
    const char* path = getenv(variable);
    if (path == nullptr || *path == '\0') return -1;
    return open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

// The first call that shows this process is the program under test (frame_timing.cpp): opens
// the output files and takes the shim's variables out of the environment.
void activate();

}  // namespace shim

namespace census {

// After the shim's activation: opens the census file (DEMO_CENSUS) when one is wanted.
void open_output();
// A frame presented; the first one starts the phase "frames".
void frame_presented(bool first);
// Writes the census table, once, at the process's exit.
void write();

}  // namespace census
