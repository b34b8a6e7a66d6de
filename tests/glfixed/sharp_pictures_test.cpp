// The sharp picture against the classic one: the demo started at 2560 x 1920 and at 640 x 480
// in two processes, both drawing the same frames, the sharp frames box-filtered down 4 x 4 and
// compared; the caption words at the sharp size: one shade each as in the classic frame, and
// edges that are hard where the classic picture scaled up (as the player's bilinear blit
// scales it) has a ramp.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "captions/captions.h"
#include "platform/glfixed/glfixed.h"
#include "platform/headless/headless.h"
#include "runtime/runtime.h"
#include "tests/support/caption_frames.h"
#include "tests/support/headless_demo.h"

namespace {

constexpr int kScale = 4;
constexpr int kSharpWidth = 640 * kScale;
constexpr int kSharpHeight = 480 * kScale;
constexpr uint32_t kRunUpMs = 600;  // frames drawn before each moment: trails and fades build up
constexpr uint32_t kStepMs = 20;

using Frame = std::vector<uint8_t>;  // RGBA, rows bottom-up

// Averages each scale x scale block: the sharp picture as 640 x 480 pixels.
Frame box_filter(const uint8_t* rgba, int scale) {
    const int w = 640 * scale;
    Frame out(640 * 480 * 4);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx)
                        sum += rgba[(size_t(y * scale + dy) * w + size_t(x * scale + dx)) * 4 + c];
                out[(size_t(y) * 640 + size_t(x)) * 4 + c] = uint8_t((sum + scale * scale / 2) / (scale * scale));
            }
    return out;
}

// The demo started at width x height in a process of its own; for each moment, frames every
// 20 ms over the 600 ms before it, then the frame itself (with caption `hidden` shut for that
// frame only), read back whole (`whole`) or box-filtered to 640 x 480.
std::vector<Frame> run(int width, int height, const std::vector<uint32_t>& moments, bool whole, int hidden = -1) {
    const int scale = width / 640;
    const size_t bytes = whole ? size_t(width) * height * 4 : size_t(640) * 480 * 4;
    int fds[2];
    if (pipe(fds) != 0) std::abort();
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        headless::set_picture_size(width, height);
        test_support::start_headless_demo();
        std::vector<uint8_t> picture(size_t(width) * height * 4);
        bool atlas_ok = true;
        for (uint32_t t : moments) {
            for (uint32_t u = t - kRunUpMs; u < t; u += kStepMs) test_support::render_at(u);
            const CaptionWindow window = hidden >= 0 ? caption_windows[hidden] : CaptionWindow{};
            if (hidden >= 0) caption_windows[hidden] = {0, 0};
            test_support::render_at(t);
            if (hidden >= 0) caption_windows[hidden] = window;
            headless::read_pixels(picture.data());
            const Frame out = whole ? picture : box_filter(picture.data(), scale);
            for (size_t done = 0; done < out.size();) {
                const ssize_t n = write(fds[1], out.data() + done, out.size() - done);
                if (n <= 0) _exit(3);
                done += size_t(n);
            }
        }
        atlas_ok = glfixed::stats().atlas_full == 0;
        _exit(atlas_ok ? 0 : 4);
    }
    close(fds[1]);
    std::vector<Frame> frames;
    for (size_t k = 0; k < moments.size(); ++k) {
        Frame f(bytes);
        size_t done = 0;
        while (done < bytes) {
            const ssize_t n = read(fds[0], f.data() + done, bytes - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        if (done < bytes) break;
        frames.push_back(std::move(f));
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << width << "x" << height << " run ended with status " << status << " (4: glyphs found no room in the atlas)";
    EXPECT_EQ(frames.size(), moments.size());
    frames.resize(moments.size(), Frame(bytes));
    return frames;
}

// Pearson correlation of the two pictures' RGB values.
double correlation(const Frame& a, const Frame& b) {
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (i % 4 == 3) continue;
        const double x = a[i], y = b[i];
        sa += x, sb += y, saa += x * x, sbb += y * y, sab += x * y;
        ++n;
    }
    const double cov = sab / n - sa / n * sb / n;
    const double va = saa / n - sa / n * sa / n, vb = sbb / n - sb / n * sb / n;
    return cov / std::sqrt(va * vb);
}

int luma(const uint8_t* p) { return (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000; }

// The classic picture scaled up 4 x 4 by a bilinear filter (texel centres, edges clamped), as
// the player's blit shows it in a 2560 x 1920 box.
Frame upscale_bilinear(const Frame& rgba) {
    Frame out(size_t(kSharpWidth) * kSharpHeight * 4);
    for (int y = 0; y < kSharpHeight; ++y) {
        const double sy = std::min(std::max((y + 0.5) / kScale - 0.5, 0.0), 479.0);
        const int y0 = std::min(int(sy), 478);
        const double fy = sy - y0;
        for (int x = 0; x < kSharpWidth; ++x) {
            const double sx = std::min(std::max((x + 0.5) / kScale - 0.5, 0.0), 639.0);
            const int x0 = std::min(int(sx), 638);
            const double fx = sx - x0;
            for (int c = 0; c < 4; ++c) {
                const auto at = [&](int xx, int yy) { return double(rgba[(size_t(yy) * 640 + size_t(xx)) * 4 + c]); };
                const double v = (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) +
                                 (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
                out[(size_t(y) * kSharpWidth + size_t(x)) * 4 + c] = uint8_t(std::lrint(v));
            }
        }
    }
    return out;
}

struct Shade {
    int count = 0;
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0}, mode[3] = {};
};

// The pixels of `full` that the run with the word shut lacks: that word's visible pixels.
Shade shade_of(const Frame& full, const Frame& hidden) {
    Shade s;
    std::map<int, int> counts[3];
    for (size_t i = 0; i < full.size(); i += 4) {
        if (full[i] == hidden[i] && full[i + 1] == hidden[i + 1] && full[i + 2] == hidden[i + 2]) continue;
        ++s.count;
        for (int c = 0; c < 3; ++c) {
            s.low[c] = std::min(s.low[c], int(full[i + c]));
            s.high[c] = std::max(s.high[c], int(full[i + c]));
            ++counts[c][full[i + c]];
        }
    }
    for (int c = 0; c < 3; ++c) {
        int best = -1;
        for (const auto& [value, n] : counts[c])
            if (n > best) best = n, s.mode[c] = value;
    }
    return s;
}

// Across the stem of "i" (the middle row of its stem, from the word's own pixels): how many
// pixels within 12 of the stem's left edge are neither the background (the picture without the
// word) nor the word's shade, by more than 2 levels of luma.
int stem_edge_width(const Frame& full, const Frame& hidden, int width, int height) {
    int min_y = height, max_y = -1, min_x = width;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* a = &full[(size_t(y) * width + size_t(x)) * 4];
            const uint8_t* b = &hidden[(size_t(y) * width + size_t(x)) * 4];
            if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) continue;
            min_y = std::min(min_y, y), max_y = std::max(max_y, y), min_x = std::min(min_x, x);
        }
    if (max_y < 0) return -1;
    const int row = min_y + (max_y - min_y) / 4;  // rows bottom-up: a quarter up is the stem
    // The word's shade: the pixel a little inside the stem's first column on that row.
    int edge = -1;
    for (int x = min_x; x < width && edge < 0; ++x) {
        const size_t i = (size_t(row) * width + size_t(x)) * 4;
        if (full[i] != hidden[i] || full[i + 1] != hidden[i + 1] || full[i + 2] != hidden[i + 2]) edge = x;
    }
    const int shade = luma(&full[(size_t(row) * width + size_t(edge + 6)) * 4]);
    int between = 0;
    for (int x = std::max(edge - 12, 0); x < edge + 12; ++x) {
        const size_t i = (size_t(row) * width + size_t(x)) * 4;
        const int v = luma(&full[i]);
        if (std::abs(v - luma(&hidden[i])) > 2 && std::abs(v - shade) > 2) ++between;
    }
    return between;
}

}  // namespace

TEST(SharpPictures, BoxFilteredDownTheyMatchTheClassicFrames) {
    // The backdrop before, in and after both zooms with trails, the cubes, the tube, the coil.
    const std::vector<uint32_t> moments = {5000, 8150, 16500, 24000, 52000, 75000, 80000};
    const std::vector<Frame> classic = run(640, 480, moments, false);
    const std::vector<Frame> sharp = run(kSharpWidth, kSharpHeight, moments, false);
    for (size_t k = 0; k < moments.size(); ++k) {
        const std::string t = std::to_string(moments[k]);
        test_support::save_png("sharp_classic_" + t, classic[k].data());
        test_support::save_png("sharp_filtered_" + t, sharp[k].data());
        const double r = correlation(classic[k], sharp[k]);
        std::printf("t=%s: correlation %.4f\n", t.c_str(), r);
        // With words the bound is lower: a bitmap lands on the whole pixel below its raster
        // position, so the classic words sit up to a classic pixel lower and further left than
        // the sharp ones (a quarter of one); along the big white words' edges that is 0.976.
        const bool words = moments[k] == 8150;
        EXPECT_GE(r, words ? 0.97 : 0.98) << "t=" << t;
    }
}

TEST(SharpPictures, EachWordIsOneShadeAsInTheClassicFrameWithHardEdges) {
    // 8150: "i", "become" and "a bad" over the strokes.
    const std::vector<uint32_t> at = {8150};
    const Frame classic = run(640, 480, at, true)[0];
    const Frame sharp = run(kSharpWidth, kSharpHeight, at, true)[0];
    for (int i : {1, 2, 3}) {
        const std::string word = caption_frames::kCaptions[i].word;
        const Frame classic_hidden = run(640, 480, at, true, i)[0];
        const Frame sharp_hidden = run(kSharpWidth, kSharpHeight, at, true, i)[0];
        const Shade c = shade_of(classic, classic_hidden), s = shade_of(sharp, sharp_hidden);
        std::printf("\"%s\": classic %d pixels, shade %d; sharp %d pixels, %d..%d (most %d)\n", word.c_str(),
                    c.count, c.mode[0], s.count, s.low[0], s.high[0], s.mode[0]);
        // Four times the size each way: some 16 times the pixels.
        EXPECT_GT(s.count, 12 * c.count) << word;
        EXPECT_LT(s.count, 20 * c.count) << word;
        for (int ch = 0; ch < 3; ++ch) {
            EXPECT_EQ(s.low[ch], s.high[ch]) << word << " is one shade, channel " << ch;
            EXPECT_NEAR(s.mode[ch], c.mode[ch], 2) << word << " channel " << ch;
        }
        if (i != 1) continue;
        const int sharp_edge = stem_edge_width(sharp, sharp_hidden, kSharpWidth, kSharpHeight);
        const int upscaled_edge =
            stem_edge_width(upscale_bilinear(classic), upscale_bilinear(classic_hidden), kSharpWidth, kSharpHeight);
        std::printf("stem of \"i\": edge %d pixels sharp, %d scaled up\n", sharp_edge, upscaled_edge);
        EXPECT_GE(sharp_edge, 0);
        EXPECT_LE(sharp_edge, 2);
        EXPECT_GE(upscaled_edge, 4);
    }
}
