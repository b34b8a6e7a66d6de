// Helpers of the caption tests, driving the headless demo on the test's main thread.
#include "tests/support/caption_frames.h"

#include <algorithm>
#include <cmath>

#include "captions/captions.h"
#include "platform/gl.h"

namespace caption_frames {

const Caption kCaptions[21] = {
    {"", 50, 200, 7800, 8500, false},         {"i", 180, 150, 7900, 8500, false},
    {"become", 10, 100, 8000, 8500, false},   {"a bad", 125, 75, 8100, 8500, false},
    {"guy", 200, 25, 8200, 8500, false},      {"mad", 50, 200, 11000, 11700, false},
    {"for", 180, 150, 11100, 11700, false},   {"world", 10, 100, 11200, 11700, false},
    {"insanity", 125, 75, 11300, 11700, false}, {"", 200, 25, 11400, 11700, false},
    {"i", 50, 200, 13700, 14400, false},      {"just", 180, 150, 13800, 14400, false},
    {"go", 10, 100, 13900, 14400, false},     {"for", 125, 75, 14000, 14400, false},
    {"", 200, 25, 14100, 14400, false},       {"all u", 50, 200, 68000, 68700, false},
    {"expect", 180, 150, 68100, 68700, false}, {"from", 10, 100, 68200, 68700, false},
    {"us", 125, 75, 68300, 68700, false},     {"", 0, 0, 68400, 68700, false},
    {"zanthorp", 100, 110, 18000, 22000, true},
};

test_support::ScreenPoint raster_on_screen(int x, int y) {
    const double eye_x = 3.0 * (2.0 * x) / 640.0 - 1.8;
    const double eye_y = 3.0 * (2.0 * y) / 480.0 - 1.5;
    return test_support::project(eye_x, eye_y, -1.0);
}

test_support::Rgb Picture::at(int x, int y) const { return test_support::pixel_at(rgba.data(), x, y); }

Picture play(uint32_t from, uint32_t t, bool words, int hidden) {
    test_support::start_headless_demo();
    static uint32_t empty_lists = glGenLists(256);  // names only: calling them draws nothing
    const uint32_t lists = font_list_base;
    if (!words) font_list_base = empty_lists;
    for (uint32_t u = from; u < t; u += 16) test_support::render_at(u);
    const CaptionWindow window = hidden >= 0 ? caption_windows[hidden] : CaptionWindow{};
    if (hidden >= 0) caption_windows[hidden] = {0, 0};
    test_support::render_at(t);
    if (hidden >= 0) caption_windows[hidden] = window;
    font_list_base = lists;
    const uint8_t* p = test_support::read_picture();
    return {std::vector<uint8_t>(p, p + test_support::kPictureWidth * test_support::kPictureHeight * 4)};
}

namespace {

Box clip(Box b) {
    return {std::max(b.x0, 0), std::max(b.y0, 0), std::min(b.x1, test_support::kPictureWidth),
            std::min(b.y1, test_support::kPictureHeight)};
}

bool grey(test_support::Rgb c) { return c.r == c.g && c.g == c.b && c.r > 0; }

}  // namespace

Diff diff(const Picture& with, const Picture& without, Box box) {
    Diff d;
    box = clip(box);
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x) {
            const test_support::Rgb a = with.at(x, y), b = without.at(x, y);
            if (a.r == b.r && a.g == b.g && a.b == b.b) continue;
            ++d.count;
            d.min_x = std::min(d.min_x, x);
            d.min_y = std::min(d.min_y, y);
            d.max_x = std::max(d.max_x, x);
            d.max_y = std::max(d.max_y, y);
            d.grey += grey(a);
            d.black += a.r == 0 && a.g == 0 && a.b == 0;
        }
    return d;
}

int grey_pixels(const Picture& p, Box box) {
    box = clip(box);
    int n = 0;
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x) {
            const test_support::Rgb c = p.at(x, y);
            n += grey(c) && c.r < 255;
        }
    return n;
}

uint32_t rand_step(uint32_t state) { return state * 214013u + 2531011u; }
int rand_value(uint32_t state) { return int((state >> 10) & 0x7FFF); }

const uint8_t* reference_noise() {
    static uint8_t noise[256 * 256];
    static bool made = false;
    if (!made) {
        uint32_t state = 0;
        noise[0] = 0;  // the disc pass leaves the corner texel 0
        for (int k = 1; k < 256 * 256; ++k) {
            state = rand_step(state);
            noise[k] = uint8_t((noise[k - 1] >> 1) + (rand_value(state) >> 8));
        }
        made = true;
    }
    return noise;
}

double noise_bilinear(double s, double t) {
    const uint8_t* noise = reference_noise();
    // Texel centres sit at (i + 0.5) / 256; the four around the point, wrapped.
    const double u = s * 256.0 - 0.5, v = t * 256.0 - 0.5;
    const double i0 = std::floor(u), j0 = std::floor(v);
    const double a = u - i0, b = v - j0;
    auto texel = [&](double i, double j) {
        const int col = int(i - 256.0 * std::floor(i / 256.0));
        const int row = int(j - 256.0 * std::floor(j / 256.0));
        return double(noise[row * 256 + col]);
    };
    return (1 - a) * (1 - b) * texel(i0, j0) + a * (1 - b) * texel(i0 + 1, j0) +
           (1 - a) * b * texel(i0, j0 + 1) + a * b * texel(i0 + 1, j0 + 1);
}

double last_stroke_t() {
    uint32_t state = 0;
    for (int draw = 1; draw <= 3 * 127 + 1; ++draw) state = rand_step(state);
    return rand_value(state) / 32768.0;
}

}  // namespace caption_frames
