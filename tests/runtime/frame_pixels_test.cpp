// Pictures of single headless frames: the fade quad, the flash scan and the black opening.
#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "runtime/runtime.h"
#include "tests/support/headless_demo.h"

using namespace test_support;

namespace {

// Smallest and largest value of each channel over the whole picture.
struct Range {
    int lo[3] = {255, 255, 255};
    int hi[3] = {0, 0, 0};
};

Range picture_range() {
    const uint8_t* p = read_picture();
    Range r;
    for (int i = 0; i < kPictureWidth * kPictureHeight; ++i)
        for (int c = 0; c < 3; ++c) {
            r.lo[c] = std::min(r.lo[c], int(p[i * 4 + c]));
            r.hi[c] = std::max(r.hi[c], int(p[i * 4 + c]));
        }
    return r;
}

// A grey picture of level 200 under trails of 0.85, drawn at t.
Range frame_over_grey(uint32_t t) {
    start_headless_demo();
    fade_alpha = 0.85f;
    headless::fill_picture(200, 200, 200);
    render_at(t);
    return picture_range();
}

void expect_uniform(const Range& r, int level, int tolerance, uint32_t t) {
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(r.lo[c], level, tolerance) << "t=" << t << " channel " << c;
        EXPECT_NEAR(r.hi[c], level, tolerance) << "t=" << t << " channel " << c;
    }
}

}  // namespace

TEST(FramePixels, FadeScalesTheOldPictureByItsFactor) {
    // 41100 ms: between scenes and between flashes, so the fade quad alone acts.
    expect_uniform(frame_over_grey(41100), 170, 1, 41100);
}

TEST(FramePixels, OpeningTwoHundredMillisecondsAreBlack) {
    // Every zero entry of the flash table matches 0 < t < 200, even with trails on.
    expect_uniform(frame_over_grey(100), 0, 0, 100);
}

TEST(FramePixels, FrameAtTimeZeroIsNotBlanked) {
    // The backdrop only adds light to the faded grey; a blank would leave black.
    const Range r = frame_over_grey(0);
    for (int c = 0; c < 3; ++c) EXPECT_GE(r.lo[c], 169) << "channel " << c;
}

TEST(FramePixels, FlashWindowsAreBlackInsideAndOpenAtBothEnds) {
    const struct {
        uint32_t t;
        int level;
    } cases[] = {
        {40100, 0},    // inside the first flash (40000..40200)
        {40000, 170},  // at the flash time itself
        {40200, 170},  // at flash time + 200
        {70150, 0},    // inside a flash of the second rhythm: the tube drawn, then blanked
    };
    for (const auto& c : cases) {
        expect_uniform(frame_over_grey(c.t), c.level, c.level == 0 ? 0 : 1, c.t);
    }
}
