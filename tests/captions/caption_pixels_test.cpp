// Headless pictures of the caption pass: which words show where and in which colour, the grey
// strokes behind the phrases, and the brighter backdrop after a caption frame. Each frame is
// played with the frames before it, as the live loop would have drawn them, and compared with
// the same run drawn with empty font lists: the pixels that differ are the glyphs'.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/caption_frames.h"
#include "tests/support/headless_demo.h"

using namespace caption_frames;

namespace {

// Room for the first glyph of a word: from its raster position rightwards and upwards, with
// the descender below. Neighbouring words' first glyphs never reach into each other's.
Box first_glyph_box(test_support::ScreenPoint r) {
    return {int(r.x) - 2, int(r.y) - 22, int(r.x) + 45, int(r.y) + 40};
}
// Where a whole blank caption would show if it drew anything.
Box word_box(test_support::ScreenPoint r) {
    return {int(r.x) - 2, int(r.y) - 22, int(r.x) + 8 * 60, int(r.y) + 70};
}

// Strokes cover the view with grey; without them such greys are rare (dots saturate to white,
// which is not counted).
constexpr int kStrokeCoverage = kWholeScreen.x1 * kWholeScreen.y1 / 2;
constexpr int kNoStrokeCeiling = kWholeScreen.x1 * kWholeScreen.y1 / 100;

struct Frame {
    uint32_t t;
    uint32_t from;  // where the run before it starts
};

// Every word active at t shows near its raster position, white words grey-white and the name
// black, and the picture is saved to look at.
void expect_words_of_frame(const Frame& f) {
    const Picture with = play(f.from, f.t, true);
    const Picture without = play(f.from, f.t, false);
    test_support::save_png("captions_" + std::to_string(f.t), with.rgba.data());
    int active = 0;
    for (const Caption& c : kCaptions) {
        if (!(c.start < f.t && f.t < c.end) || c.word[0] == '\0') continue;
        ++active;
        const test_support::ScreenPoint r = raster_on_screen(c.x, c.y);
        const Diff d = diff(with, without, first_glyph_box(r));
        EXPECT_GT(d.count, 60) << "t=" << f.t << " \"" << c.word << "\"";
        if (c.black) {
            EXPECT_EQ(d.black, d.count) << "t=" << f.t << " \"" << c.word << "\" is black";
        } else {
            EXPECT_EQ(d.grey, d.count) << "t=" << f.t << " \"" << c.word << "\" is white";
        }
    }
    EXPECT_GT(active, 0) << f.t;
}

}  // namespace

TEST(CaptionPixels, PhraseWordsShowWhiteAtTheirPlacesAndTheNameBlack) {
    // The first three phrases over the backdrop, the name after the first zoom (its scales
    // need the zoom window's frames), the last phrase over the darkened swarm picture.
    const Frame frames[] = {
        {8300, 8100}, {11500, 11300}, {14200, 14000}, {20000, 17800}, {68500, 66300},
    };
    for (const Frame& f : frames) expect_words_of_frame(f);
}

TEST(CaptionPixels, At8150ThreeWordsSitOnTheirBaselinesAndTheBlankCaptionShowsNothing) {
    const Picture with = play(7950, 8150, true);
    const Picture without = play(7950, 8150, false);
    test_support::save_png("captions_8150", with.rgba.data());
    // "i", "become" and "a bad" have no descender: their lowest pixels sit on the baseline,
    // the raster position's row, and their first glyph starts a little right of it.
    for (int i : {1, 2, 3}) {
        const test_support::ScreenPoint r = raster_on_screen(kCaptions[i].x, kCaptions[i].y);
        const Diff d = diff(with, without, first_glyph_box(r));
        EXPECT_GT(d.count, 60) << kCaptions[i].word;
        EXPECT_EQ(d.grey, d.count) << kCaptions[i].word;
        // Round bottoms overshoot the baseline by a pixel or two.
        EXPECT_LE(d.min_y, r.y) << kCaptions[i].word;
        EXPECT_GE(d.min_y, r.y - 3.0) << kCaptions[i].word;
        EXPECT_GE(d.min_x, int(r.x) - 1) << kCaptions[i].word;
        EXPECT_LE(d.min_x, r.x + 12) << kCaptions[i].word;
    }
    // The 'i' dot and the 'b' ascender reach about 0.72 em (59 pixels at 82 per em) up.
    for (int i : {1, 2}) {
        const test_support::ScreenPoint r = raster_on_screen(kCaptions[i].x, kCaptions[i].y);
        const Diff d = diff(with, without, {int(r.x) - 2, int(r.y) - 22, int(r.x) + 45, int(r.y) + 80});
        EXPECT_NEAR(d.max_y - d.min_y, 59, 3) << kCaptions[i].word;
    }
    EXPECT_EQ(diff(with, without, word_box(raster_on_screen(50, 200))).count, 0) << "caption 0 is blank";
    EXPECT_EQ(diff(with, without, first_glyph_box(raster_on_screen(200, 25))).count, 0) << "\"guy\" from 8201";
    EXPECT_GT(grey_pixels(without, kWholeScreen), kStrokeCoverage) << "strokes";
}

TEST(CaptionPixels, At8100TheThirdWordIsNotYetThere) {
    const Picture with = play(7950, 8100, true);
    const Picture without = play(7950, 8100, false);
    EXPECT_EQ(diff(with, without, first_glyph_box(raster_on_screen(125, 75))).count, 0);
    EXPECT_GT(diff(with, without, first_glyph_box(raster_on_screen(10, 100))).count, 60) << "\"become\"";
}

TEST(CaptionPixels, At7850StrokesShowWithoutAnyWord) {
    const Picture with = play(7700, 7850, true);
    const Picture without = play(7700, 7850, false);
    EXPECT_EQ(diff(with, without, kWholeScreen).count, 0);
    EXPECT_GT(grey_pixels(with, kWholeScreen), kStrokeCoverage);
}

TEST(CaptionPixels, OutsideTheWindowsNoCaptionAndNoStroke) {
    // 7800 and 8500 are the bounds of the first phrase, both exclusive.
    for (uint32_t t : {7800u, 8500u}) {
        const Picture with = play(t - 160, t, true);
        const Picture without = play(t - 160, t, false);
        EXPECT_EQ(diff(with, without, kWholeScreen).count, 0) << t;
        EXPECT_LT(grey_pixels(with, kWholeScreen), kNoStrokeCeiling) << t;
    }
}

TEST(CaptionPixels, TheNameIsDarkOverTheBackdropWithoutStrokes) {
    const Picture with = play(17800, 20000, true);
    const Picture without = play(17800, 20000, false);
    const Diff d = diff(with, without, word_box(raster_on_screen(100, 110)));
    EXPECT_GT(d.count, 100);
    EXPECT_EQ(d.black, d.count);  // every changed pixel turned black: a dot under a glyph
    EXPECT_NEAR(d.min_x, 175, 12);
    EXPECT_GT(d.max_x, 175 + 300) << "eight letters wide";
    EXPECT_LT(grey_pixels(with, kWholeScreen), kNoStrokeCeiling);
}

TEST(CaptionPixels, BackdropAfterACaptionFrameIsBrighter) {
    // The frame at 8500 shows the backdrop alone; after the caption frame at 8484 it is drawn
    // unlit (the caption pass left lighting off), after a frame at 8600 lit.
    auto brightness = [](const Picture& p) {
        long sum = 0;
        for (size_t i = 0; i < p.rgba.size(); i += 4) sum += p.rgba[i] + p.rgba[i + 1] + p.rgba[i + 2];
        return sum;
    };
    test_support::start_headless_demo();
    test_support::render_at(8484);
    const Picture after_caption = play(8500, 8500);
    test_support::render_at(8600);
    const Picture after_plain = play(8500, 8500);
    // Unlit, the dots take their full colour; lit along the view, 0.2 ambient + 0.5 diffuse
    // of it, 0.7 (saturated pixels narrow the ratio a little).
    EXPECT_GT(double(brightness(after_caption)), 1.3 * double(brightness(after_plain)));
    EXPECT_GT(brightness(after_plain), 0);
}
