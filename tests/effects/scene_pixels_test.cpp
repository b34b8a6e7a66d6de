// Headless pictures of the four effect scenes, rendered through the frame loop's script: where
// things land (worked out from the projection, not from GL) and what colour they are. Each test
// saves its picture as a PNG artifact for looking at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "effects/effects.h"
#include "runtime/runtime.h"
#include "tests/support/headless_demo.h"

using namespace test_support;

namespace {

// Colour totals over the pixels brighter than a threshold.
struct Coverage {
    int lit = 0;  // pixels with any channel above the threshold
    double r = 0, g = 0, b = 0;
    double fraction() const { return double(lit) / (kPictureWidth * kPictureHeight); }
};

Coverage coverage(const uint8_t* rgba, int threshold = 8) {
    Coverage c;
    for (int i = 0; i < kPictureWidth * kPictureHeight; ++i) {
        const uint8_t* p = rgba + i * 4;
        if (p[0] <= threshold && p[1] <= threshold && p[2] <= threshold) continue;
        ++c.lit;
        c.r += p[0];
        c.g += p[1];
        c.b += p[2];
    }
    return c;
}

// The frames the live loop draws on the way to `last`, 10 ms apart (about 100 frames a second),
// so that persistent state (swarm depths, trails, fade factor) is as the live program has it.
const uint8_t* run_up_to(uint32_t first, uint32_t last) {
    for (uint32_t t = first; t < last; t += 10) EXPECT_TRUE(render_at(t));
    EXPECT_TRUE(render_at(last));
    return read_picture();
}

}  // namespace

TEST(ScenePictures, BackdropAtTimeZeroIsLightBlueDotsWithParticleZeroInPlace) {
    // t = 0 is the first frame: the fade quad (alpha 0) clears, no flash blanks it, and nothing
    // before it could matter, so this one frame is the live one.
    ASSERT_TRUE(render_at(0));
    const uint8_t* picture = read_picture();
    save_png("effects_backdrop_t0", picture);

    // Particle 0 (8.668, 8.835, phase 15.807) circles at radius 16 from its centre.
    const double a = 15.807;
    const double x0 = 8.668 + 16.0 * std::sin(a), y0 = 8.835 + 16.0 * std::cos(a);
    EXPECT_NEAR(x0, 7.086, 0.005);
    EXPECT_NEAR(y0, -7.087, 0.005);
    // A quarter of the way into its square the disc texture is bright (radius about 72 texels).
    const ScreenPoint inside = project(x0 + 0.25, y0 + 0.25, -10.0);
    const Rgb there = pixel_at(picture, int(inside.x), int(inside.y));
    EXPECT_GT(there.b, 60) << "at " << inside.x << ", " << inside.y;
    EXPECT_GT(there.b, there.r);
    EXPECT_GT(there.b, there.g);

    const Coverage c = coverage(picture);
    EXPECT_GT(c.fraction(), 0.05);  // many dots, spread over the screen
    EXPECT_LT(c.fraction(), 0.95);  // with black between them
    EXPECT_GT(c.b, 1.3 * c.r);
    EXPECT_GT(c.b, 1.3 * c.g);
    EXPECT_GT(c.r, 0.3 * c.b);  // light blue, not pure blue
}

TEST(ScenePictures, BackdropMovesItsDotsClockwiseAsTimeGoesOn) {
    // Worked value: at 3000 ms particle 0's corner is near (-5.151, 16.899), above the view.
    const auto corner = [](double t) {
        const double a = t / 1500.0 + 15.807;
        return std::pair{8.668 + 16.0 * std::sin(a), 8.835 + 16.0 * std::cos(a)};
    };
    EXPECT_NEAR(corner(3000).first, -5.151, 0.005);
    EXPECT_NEAR(corner(3000).second, 16.899, 0.005);
    // At 2200 ms it has swung from below its centre to the left of it (clockwise on screen).
    const auto [x0, y0] = corner(2200);
    EXPECT_LT(x0, 8.668 - 15.0);
    EXPECT_NEAR(y0, 8.835, 1.0);

    // Particle 0 alone (the others moved far out of view; their phases untouched): the lit
    // pixels are exactly its unit square at depth -10. The backdrop is stateless and the fade
    // still clears (alpha 0), so one frame is the live one.
    start_headless_demo();
    for (int i = 1; i < kParticleCount; ++i) particle_field[i].x = 1000.0f;
    ASSERT_TRUE(render_at(2200));
    const uint8_t* picture = read_picture();
    int lo_x = kPictureWidth, hi_x = -1, lo_y = kPictureHeight, hi_y = -1;
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            if (pixel_at(picture, x, y).b == 0) continue;
            lo_x = std::min(lo_x, x), hi_x = std::max(hi_x, x);
            lo_y = std::min(lo_y, y), hi_y = std::max(hi_y, y);
        }
    }
    const ScreenPoint lower_left = project(x0, y0, -10.0);
    const ScreenPoint upper_right = project(x0 + 1.0, y0 + 1.0, -10.0);
    EXPECT_NEAR(lo_x, lower_left.x, 2.0);
    EXPECT_NEAR(hi_x, upper_right.x, 2.0);
    EXPECT_NEAR(lo_y, lower_left.y, 2.0);
    EXPECT_NEAR(hi_y, upper_right.y, 2.0);
}

TEST(ScenePictures, CubeSwarmAtFiftyTwoSecondsIsOrangeWithTrails) {
    // The swarm's depths advance per frame and the trails build over frames: run the swarm
    // from its start, as the live loop would (a whole second of frames reaches the steady
    // stream of respawns, since every cube has come close at least once in ~160 frames).
    const uint8_t* picture = run_up_to(50000, 52000);
    save_png("effects_cube_swarm_t52000", picture);

    const Coverage c = coverage(picture, 16);
    EXPECT_GT(c.fraction(), 0.02);
    EXPECT_GT(c.r, 1.3 * c.g);  // colour (1.5, 0.75, 0)
    EXPECT_GT(c.g, 4.0 * c.b);
    EXPECT_GT(c.g, 0.0);
}

TEST(ScenePictures, TubeAtSeventyFiveSecondsFillsTheScreenInBlue) {
    // Stateless apart from the trails; a short run-up gives the live picture's trails.
    const uint8_t* picture = run_up_to(74800, 75000);
    save_png("effects_tube_t75000", picture);

    const Coverage c = coverage(picture);
    EXPECT_GT(c.fraction(), 0.6);  // inside the tunnel: walls all around
    EXPECT_GT(c.b, 2.0 * c.r);     // colour (0.1, 0.1, 0.8)
    EXPECT_GT(c.b, 2.0 * c.g);
}

TEST(ScenePictures, CoilAtEightySecondsIsPurple) {
    // 79,700 is the end of the 79,500 flash; the frames from there build the live trails.
    const uint8_t* picture = run_up_to(79710, 80000);
    save_png("effects_coil_t80000", picture);

    const Coverage c = coverage(picture);
    EXPECT_GT(c.fraction(), 0.1);
    EXPECT_LT(c.fraction(), 0.9);   // a coil in front of black
    EXPECT_GT(c.b, 1.2 * c.r);      // colour (0.5, 0, 1)
    EXPECT_GT(c.r, 4.0 * c.g);
}

TEST(ScenePictures, BackdropFlattenedToALineWhenTheYScaleIsZero) {
    // The scale multiplies centre and circle together: every square's lower edge lands on y = 0.
    start_headless_demo();
    backdrop_scale_y = 0.0f;  // the script only writes it inside the zoom windows
    ASSERT_TRUE(render_at(1000));
    const uint8_t* picture = read_picture();
    const double bottom = project(0.0, 0.0, -10.0).y, top = project(0.0, 1.0, -10.0).y;
    int lo_x = kPictureWidth, hi_x = -1;
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            if (pixel_at(picture, x, y).b == 0) continue;
            ASSERT_GE(y, bottom - 1.0) << "lit pixel at " << x << ", " << y;
            ASSERT_LE(y, top + 1.0) << "lit pixel at " << x << ", " << y;
            lo_x = std::min(lo_x, x), hi_x = std::max(hi_x, x);
        }
    }
    EXPECT_LT(lo_x, kPictureWidth / 8);  // still spread along the whole width
    EXPECT_GT(hi_x, kPictureWidth * 7 / 8);
}
