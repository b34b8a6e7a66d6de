// Headless pictures of the four effect scenes, rendered through the frame loop's script: where
// things land (worked out from the projection, not from GL) and what colour they are. Each test
// saves its picture as a PNG artifact for looking at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "effects/effects.h"
#include "platform/headless/headless.h"
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

TEST(ScenePictures, CubesLandWhereTheirLaneTurnAndSpinPutThem) {
    // One cube at a time (the other 99 moved far out of view) on a black picture: the lit pixels
    // span exactly its eight corners projected independently, each corner turned by 0.1 t
    // degrees about the unnormalised axis (1, 1, 4) about the cube's own corner, moved to
    // (0.3 x, 0.3 y, z + 0.1), and from 54 s turned with the whole swarm by 0.1 t about z.
    const double pi = 3.14159265358979323846;
    const auto turn = [pi](double degrees, double ax, double ay, double az, double p[3]) {
        const double n = std::sqrt(ax * ax + ay * ay + az * az);
        const double k[3] = {ax / n, ay / n, az / n};
        const double a = degrees * pi / 180.0, c = std::cos(a), s = std::sin(a);
        const double dot = k[0] * p[0] + k[1] * p[1] + k[2] * p[2];
        const double cross[3] = {k[1] * p[2] - k[2] * p[1], k[2] * p[0] - k[0] * p[2], k[0] * p[1] - k[1] * p[0]};
        for (int i = 0; i < 3; ++i) p[i] = p[i] * c + cross[i] * s + k[i] * dot * (1.0 - c);  // Rodrigues
    };
    const struct {
        uint32_t t;
        int cube;
        float x, y, z;  // lane and depth before the frame's advance
    } cases[] = {
        {51000, 0, 4.0f, 2.0f, -5.0f},    // turn 5100 degrees, no spin
        {56000, 7, -6.0f, -3.0f, -6.0f},  // spin and turn 5600 degrees
        {60000, 99, 1.0f, 6.0f, -4.0f},   // 6000 degrees
    };
    start_headless_demo();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t << ", cube " << c.cube);
        for (int i = 0; i < 100; ++i) particle_field[i] = {1000.0f, 1000.0f, -5.0f};
        particle_field[c.cube] = {c.x, c.y, c.z};
        headless::fill_picture(0, 0, 0);
        ASSERT_TRUE(render_at(c.t));
        const uint8_t* picture = read_picture();
        save_png("effects_one_cube_t" + std::to_string(c.t), picture);

        double lo_x = 1e9, hi_x = -1e9, lo_y = 1e9, hi_y = -1e9;
        for (int corner = 0; corner < 8; ++corner) {
            double p[3] = {corner & 1 ? 0.5 : 0.0, corner & 2 ? 0.5 : 0.0, corner & 4 ? 0.5 : 0.0};
            turn(c.t * 0.1, 1.0, 1.0, 4.0, p);
            p[0] += 0.3 * c.x, p[1] += 0.3 * c.y, p[2] += c.z + 0.1;
            if (c.t >= 54000) turn(c.t * 0.1, 0.0, 0.0, 1.0, p);
            const ScreenPoint s = project(p[0], p[1], p[2]);
            lo_x = std::min(lo_x, s.x), hi_x = std::max(hi_x, s.x);
            lo_y = std::min(lo_y, s.y), hi_y = std::max(hi_y, s.y);
        }
        int px_lo_x = kPictureWidth, px_hi_x = -1, px_lo_y = kPictureHeight, px_hi_y = -1;
        for (int y = 0; y < kPictureHeight; ++y) {
            for (int x = 0; x < kPictureWidth; ++x) {
                const Rgb v = pixel_at(picture, x, y);
                if (v.r + v.g + v.b == 0) continue;
                px_lo_x = std::min(px_lo_x, x), px_hi_x = std::max(px_hi_x, x);
                px_lo_y = std::min(px_lo_y, y), px_hi_y = std::max(px_hi_y, y);
            }
        }
        EXPECT_NEAR(px_lo_x, lo_x, 2.0);
        EXPECT_NEAR(px_hi_x, hi_x, 2.0);
        EXPECT_NEAR(px_lo_y, lo_y, 2.0);
        EXPECT_NEAR(px_hi_y, hi_y, 2.0);
    }
}
