// The timeline: flash table, script windows, fade factor, worked values, end of the script.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "effects/effects.h"
#include "platform/gl.h"
#include "runtime/runtime.h"
#include "tests/support/headless_demo.h"

using test_support::render_at;

TEST(FlashTable, HoldsTheFiftyThreeScriptedTimesAtTheirIndices) {
    // The table of flash times as the show's rhythm lays them out: four per 1.2 s bar from
    // 40 s, two per 0.6 s bar from 70 s, one every half second from 78 s.
    const std::map<int, uint32_t> expected = {
        {0, 40000},  {1, 40300},  {2, 40500},  {3, 40800},  {4, 41200},  {5, 41500},  {6, 41700},
        {7, 42000},  {8, 42400},  {9, 42700},  {10, 42900}, {11, 43200}, {12, 43600}, {13, 43900},
        {14, 44100}, {15, 44400}, {16, 44800}, {17, 45100}, {18, 45300}, {19, 45600}, {20, 46000},
        {21, 46300}, {22, 46500}, {23, 46800}, {24, 47200}, {25, 47500}, {26, 47700}, {27, 48000},
        {28, 48400}, {29, 48700}, {30, 48900}, {31, 49200}, {32, 49600}, {33, 49900}, {34, 50100},
        {35, 50400}, {40, 70000}, {41, 70300}, {44, 70600}, {45, 70900}, {48, 71200}, {49, 71500},
        {52, 71800}, {53, 72100}, {80, 78000}, {84, 78500}, {88, 79000}, {92, 79500}, {96, 80000},
        {100, 80500}, {104, 81000}, {108, 81500}, {112, 82000},
    };
    ASSERT_EQ(expected.size(), 53u);
    build_flash_times();
    for (int i = 0; i < kFlashCount; ++i) {
        const auto it = expected.find(i);
        EXPECT_EQ(flash_times[i], it == expected.end() ? 0u : it->second) << "index " << i;
    }
}

TEST(Script, ZoomWindowsAreExclusiveAtBothEnds) {
    test_support::start_headless_demo();
    // Bounds themselves change nothing.
    for (uint32_t t : {15000u, 18000u, 22500u, 25500u}) {
        render_at(t);
        EXPECT_EQ(backdrop_scale_x, 1.0f) << t;
        EXPECT_EQ(backdrop_scale_y, 1.0f) << t;
        EXPECT_EQ(backdrop_angle_divisor, 1500.0f) << t;
        EXPECT_EQ(fade_alpha, 0.0f) << t;
    }
    render_at(15001);
    EXPECT_LT(backdrop_scale_x, 1.0f);
    render_at(22501);
    EXPECT_EQ(backdrop_angle_divisor, 500.0f);
}

TEST(Script, WorkedZoomValues) {
    test_support::start_headless_demo();
    render_at(16500);  // half-way through the first zoom
    EXPECT_NEAR(backdrop_scale_x, 0.75f, 1e-6f);
    EXPECT_NEAR(backdrop_scale_y, 0.55f, 1e-6f);
    render_at(24000);  // half-way through the second
    EXPECT_NEAR(backdrop_scale_x, 0.75f, 1e-6f);
    EXPECT_NEAR(backdrop_scale_y, 0.45f, 1e-6f);
    // Outside the windows the last values stay.
    render_at(30000);
    EXPECT_NEAR(backdrop_scale_x, 0.75f, 1e-6f);
    EXPECT_NEAR(backdrop_scale_y, 0.45f, 1e-6f);
}

TEST(Script, FadeFactorFollowsTheScenes) {
    // Frames in the order the live program would draw them.
    const struct {
        uint32_t t;
        float fade_after;
    } frames[] = {
        {0, 0.0f},      {22500, 0.0f},  {22501, 0.75f}, {30000, 0.75f}, {42000, 0.75f},
        {42001, 0.85f}, {60600, 0.85f}, {70000, 0.85f}, {82000, 0.85f},
    };
    test_support::start_headless_demo();
    for (const auto& f : frames) {
        render_at(f.t);
        EXPECT_EQ(fade_alpha, f.fade_after) << "after the frame at " << f.t;
    }
}

TEST(Script, TubeAndCoilPlacement) {
    // The tube flight's offset along z and the coil's rocking angle about x.
    EXPECT_FLOAT_EQ(tube_offset(75000), -130.0f);
    EXPECT_FLOAT_EQ(tube_offset(70000), -380.0f);
    EXPECT_FLOAT_EQ(tube_offset(78000), 20.0f);
    EXPECT_NEAR(coil_angle(79000), 79.58f, 0.01f);
    EXPECT_NEAR(coil_angle(80000), 21.94f, 0.01f);
}

TEST(Script, EndsAfter82000) {
    test_support::start_headless_demo();
    EXPECT_TRUE(render_at(82000));
    EXPECT_FALSE(render_at(82001));
    EXPECT_FALSE(render_at(0xFFFFFFFFu));
}
