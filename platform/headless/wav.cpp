// RIFF WAVE writer for 8-bit unsigned mono PCM. Any one thread.
#include "platform/headless/wav.h"

#include <cstring>

namespace wav {

namespace {

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

}  // namespace

void header(uint8_t* out, uint32_t count, uint32_t rate) {
    std::memcpy(out + 0, "RIFF", 4);
    put32(out + 4, 36 + count + (count & 1));  // the data chunk is padded to an even size
    std::memcpy(out + 8, "WAVE", 4);
    std::memcpy(out + 12, "fmt ", 4);
    put32(out + 16, 16);    // PCM format chunk size
    put16(out + 20, 1);     // PCM
    put16(out + 22, 1);     // mono
    put32(out + 24, rate);  // samples per second
    put32(out + 28, rate);  // bytes per second: one byte per sample
    put16(out + 32, 1);     // block align
    put16(out + 34, 8);     // bits per sample
    std::memcpy(out + 36, "data", 4);
    put32(out + 40, count);
}

bool open(Writer& w, const char* path, uint32_t rate) {
    w.rate = rate;
    w.samples = 0;
    w.failed = false;
    w.file = std::fopen(path, "wb");
    if (w.file == nullptr) return false;
    uint8_t h[kHeaderBytes];
    header(h, 0, rate);
    w.failed = std::fwrite(h, 1, kHeaderBytes, w.file) != kHeaderBytes;
    return !w.failed;
}

bool append(Writer& w, const uint8_t* samples, uint32_t count) {
    if (w.file == nullptr) return false;
    if (std::fwrite(samples, 1, count, w.file) != count) w.failed = true;
    w.samples += count;
    return !w.failed;
}

bool close(Writer& w) {
    if (w.file == nullptr) return false;
    if ((w.samples & 1) != 0 && std::fputc(128, w.file) == EOF) w.failed = true;
    uint8_t h[kHeaderBytes];
    header(h, w.samples, w.rate);
    if (std::fseek(w.file, 0, SEEK_SET) != 0 || std::fwrite(h, 1, kHeaderBytes, w.file) != kHeaderBytes)
        w.failed = true;
    if (std::fclose(w.file) != 0) w.failed = true;
    w.file = nullptr;
    return !w.failed;
}

bool write_u8_mono(const char* path, const uint8_t* samples, uint32_t count, uint32_t rate) {
    Writer w{};
    if (!open(w, path, rate)) {
        if (w.file != nullptr) std::fclose(w.file);
        return false;
    }
    append(w, samples, count);
    return close(w);
}

}  // namespace wav
