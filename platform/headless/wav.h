// RIFF WAVE files of 8-bit unsigned mono PCM, the demo's output format: written whole, or
// streamed in pieces with the sizes filled in when the file is closed. For tests, benchmarks
// and the capture tool; any one thread.
#pragma once

#include <cstdint>
#include <cstdio>

namespace wav {

constexpr uint32_t kHeaderBytes = 44;

// Writes `count` samples at `rate` Hz to a new file at path. False if it cannot be written.
bool write_u8_mono(const char* path, const uint8_t* samples, uint32_t count, uint32_t rate);

struct Writer {
    std::FILE* file;
    uint32_t rate;     // Hz
    uint32_t samples;  // written so far
    bool failed;
};

// Starts a file with a header whose sizes are still 0.
bool open(Writer& w, const char* path, uint32_t rate);
bool append(Writer& w, const uint8_t* samples, uint32_t count);
// Fills in the sizes and closes the file. False if anything since open failed.
bool close(Writer& w);

// The 44-byte header for `count` samples at `rate` Hz.
void header(uint8_t* out, uint32_t count, uint32_t rate);

}  // namespace wav
