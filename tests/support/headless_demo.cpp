// Test support on the headless backend. Runs on the test's main thread.
#include "tests/support/headless_demo.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/headless/headless.h"
#include "runtime/runtime.h"

namespace test_support {
namespace {

bool started;
uint8_t picture[kPictureWidth * kPictureHeight * 4];

uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
    put32(out, uint32_t(body.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    put32(out, crc32(typed.data(), typed.size()));
}

}  // namespace

void start_headless_demo() {
    if (started) return;
    started = true;
    start_up();
}

bool render_at(uint32_t t) {
    start_headless_demo();
    return render_frame(t);
}

const uint8_t* read_picture() {
    headless::read_pixels(picture);
    return picture;
}

Rgb pixel_at(const uint8_t* rgba, int x, int y) {
    const uint8_t* p = rgba + (size_t(y) * kPictureWidth + size_t(x)) * 4;
    return {p[0], p[1], p[2]};
}

ScreenPoint project(double x, double y, double z) {
    const double pi = 3.14159265358979323846;
    const double f = 1.0 / std::tan(110.0 / 2.0 * pi / 180.0);
    const double aspect = 4.0 / 3.0;
    const double ndc_x = f / aspect * x / -z;
    const double ndc_y = f * y / -z;
    return {(ndc_x + 1.0) * 0.5 * kPictureWidth, (ndc_y + 1.0) * 0.5 * kPictureHeight};
}

std::string save_png(const std::string& name, const uint8_t* rgba) {
    const char* dir = std::getenv("DEMO_TEST_ARTIFACTS");
    std::filesystem::path folder = dir != nullptr ? dir : ".";
    std::filesystem::create_directories(folder);
    const std::filesystem::path path = folder / (name + ".png");

    // Image rows top-down, each behind a filter byte 0, in stored (uncompressed) deflate blocks.
    std::vector<uint8_t> raw;
    for (int y = kPictureHeight - 1; y >= 0; --y) {
        raw.push_back(0);
        for (int x = 0; x < kPictureWidth; ++x) {
            const uint8_t* p = rgba + (size_t(y) * kPictureWidth + size_t(x)) * 4;
            raw.insert(raw.end(), {p[0], p[1], p[2]});
        }
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    for (size_t at = 0; at < raw.size(); at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);
        z.insert(z.end(), {uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)});
        z.insert(z.end(), raw.begin() + long(at), raw.begin() + long(at + n));
    }
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, kPictureWidth);
    put32(header, kPictureHeight);
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(png.data(), 1, png.size(), f);
        std::fclose(f);
    }
    return path.string();
}

}  // namespace test_support
