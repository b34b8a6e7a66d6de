// The shade of the words: a bitmap is textured with the raster position's texture coordinates,
// so every glyph pixel of a word is the caption colour times one bilinear noise texel, the one
// at (0.1 X, t) with t generated from Y (0.1 Y) or, after the strokes switched T generation
// off, the t of the last stroke vertex. The expected shade comes from the noise texture's
// definition and the caption's place, not from GL. Also: what the words leave current does not
// reach the next frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "captions/captions.h"
#include "platform/gl.h"
#include "tests/support/caption_frames.h"
#include "tests/support/headless_demo.h"

using namespace caption_frames;

namespace {

struct Shade {
    int count = 0;
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
    int mode[3] = {0, 0, 0};  // the most common value per channel
};

// The pixels of `full` that the hidden word's run lacks: that word's visible glyph pixels.
Shade shade_of(const Picture& full, const Picture& hidden) {
    Shade s;
    std::map<int, int> counts[3];
    for (int y = 0; y < test_support::kPictureHeight; ++y)
        for (int x = 0; x < test_support::kPictureWidth; ++x) {
            const test_support::Rgb a = full.at(x, y), b = hidden.at(x, y);
            if (a.r == b.r && a.g == b.g && a.b == b.b) continue;
            ++s.count;
            const int v[3] = {a.r, a.g, a.b};
            for (int c = 0; c < 3; ++c) {
                s.low[c] = std::min(s.low[c], v[c]);
                s.high[c] = std::max(s.high[c], v[c]);
                ++counts[c][v[c]];
            }
        }
    for (int c = 0; c < 3; ++c) {
        int best = -1;
        for (const auto& [value, n] : counts[c])
            if (n > best) best = n, s.mode[c] = value;
    }
    return s;
}

// White times the texel, or black, in 0..255.
double expected_value(const Caption& c, uint32_t t) {
    if (c.black) return 0.0;
    bool strokes = false;  // any active caption but the name brings them, blank ones too
    for (const Caption& other : kCaptions)
        strokes |= !other.black && other.start < t && t < other.end;
    const double eye_x = 3.0 * (2.0 * c.x) / 640.0 - 1.8;
    const double eye_y = 3.0 * (2.0 * c.y) / 480.0 - 1.5;
    return noise_bilinear(0.1 * eye_x, strokes ? last_stroke_t() : 0.1 * eye_y);
}

// Every pixel within 1 of the word's most common value, and that within 1 of the expected.
void expect_one_shade(const Shade& s, double want, const std::string& what) {
    std::printf("%s: %d pixels, %d..%d (most %d), expected %.1f\n", what.c_str(), s.count, s.low[0],
                s.high[0], s.mode[0], want);
    EXPECT_GT(s.count, 100) << what;
    for (int ch = 0; ch < 3; ++ch) {
        EXPECT_NEAR(s.mode[ch], want, 1.0) << what << " channel " << ch;
        EXPECT_TRUE(s.low[ch] >= s.mode[ch] - 1 && s.high[ch] <= s.mode[ch] + 1)
            << what << " channel " << ch << ": " << s.low[ch] << ".." << s.high[ch];
    }
}

}  // namespace

TEST(CaptionShade, ReferenceNoiseStartsAsTheTextureIsDefined) {
    const uint8_t first[16] = {0, 9, 13, 67, 130, 102, 56, 71, 42, 73, 137, 123, 174, 116, 128, 78};
    for (int k = 0; k < 16; ++k) EXPECT_EQ(reference_noise()[k], first[k]) << k;
}

TEST(CaptionShade, EachWordIsOneShadeTheCaptionColourTimesTheTexelAtTheRasterPosition) {
    // 8150: three phrase words over the strokes (T generation off); 20000: the name alone
    // (T generation on); the zoom the backdrop shows does not matter here.
    const struct {
        uint32_t t, from;
    } frames[] = {{8150, 7950}, {20000, 19950}};
    for (const auto& f : frames) {
        const Picture full = play(f.from, f.t);
        for (int i = 0; i < 21; ++i) {
            const Caption& c = kCaptions[i];
            if (!(c.start < f.t && f.t < c.end) || c.word[0] == '\0') continue;
            expect_one_shade(shade_of(full, play(f.from, f.t, true, i)), expected_value(c, f.t),
                             "t=" + std::to_string(f.t) + " \"" + c.word + "\"");
        }
    }
    // The name's black hides which texel it takes: drawn once more in white on top, in the
    // state its pass left (T generation on), it shows the texel at (0.1 X, 0.1 Y).
    const Picture name = play(19950, 20000);
    const Caption& c = kCaptions[20];
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    draw_caption(caption_texts[20], 2 * c.x, 2 * c.y);
    const uint8_t* p = test_support::read_picture();
    const Picture white{std::vector<uint8_t>(p, p + test_support::kPictureWidth * test_support::kPictureHeight * 4)};
    Caption white_name = c;
    white_name.black = false;
    expect_one_shade(shade_of(white, name), expected_value(white_name, 20000), "\"zanthorp\" in white");
}

TEST(CaptionShade, TheFrameAfterACaptionFrameIgnoresTheTextureCoordinateLeftCurrent) {
    // Whatever texture coordinate the pass leaves current (here the one the strokes or start-up
    // left before the words), the next frame comes out the same: its primitives generate their
    // coordinates, the strokes set theirs per vertex and the fade quad is black.
    test_support::start_headless_demo();
    const struct {
        uint32_t caption_frame, next;
        float s, t;
    } cases[] = {
        {8150, 8166, 0.0f, float(last_stroke_t())},   // the phrase goes on
        {8484, 8500, 0.0f, float(last_stroke_t())},   // the phrase has just ended
        {21984, 22000, 0.0f, 0.0f},                   // the name has just ended
    };
    for (const auto& c : cases) {
        test_support::render_at(c.caption_frame);
        test_support::render_at(c.next);
        const uint8_t* p = test_support::read_picture();
        const std::vector<uint8_t> as_left(p, p + test_support::kPictureWidth * test_support::kPictureHeight * 4);
        test_support::render_at(c.caption_frame);
        glTexCoord4f(c.s, c.t, 0.0f, 1.0f);
        test_support::render_at(c.next);
        p = test_support::read_picture();
        const std::vector<uint8_t> reset(p, p + test_support::kPictureWidth * test_support::kPictureHeight * 4);
        EXPECT_TRUE(as_left == reset) << c.next;
    }
}
