// The caption windows after start-up, the raster positions the caption places give under the
// demo's projection, the render state a caption pass leaves behind, and the generator state the
// strokes hand on to the cube swarm.
#include <gtest/gtest.h>

#include <cstring>

#include "captions/captions.h"
#include "effects/effects.h"
#include "platform/gl.h"
#include "platform/web/baked_font.h"
#include "tests/support/caption_frames.h"
#include "tests/support/headless_demo.h"

using caption_frames::kCaptions;
using caption_frames::rand_step;
using caption_frames::rand_value;

namespace {

struct Raster {
    float x, y;
    bool valid;
};

Raster raster_of_place(int x, int y) {
    glLoadIdentity();
    place_caption(x, y);
    GLfloat position[4];
    GLboolean valid = GL_FALSE;
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    glLoadIdentity();
    return {position[0], position[1], valid == GL_TRUE};
}

}  // namespace

TEST(CaptionTables, WindowsAfterStartUpOpenOneWordEvery100msAndCloseTogether) {
    test_support::start_headless_demo();
    for (int i = 0; i < kCaptionCount; ++i) {
        EXPECT_EQ(caption_windows[i].start, kCaptions[i].start) << "caption " << i;
        EXPECT_EQ(caption_windows[i].end, kCaptions[i].end) << "caption " << i;
        EXPECT_EQ(caption_positions[i].x, kCaptions[i].x) << "caption " << i;
        EXPECT_EQ(caption_positions[i].y, kCaptions[i].y) << "caption " << i;
        // Eight bytes: the word, then blanks to the end.
        char expected[kCaptionLength];
        std::memset(expected, ' ', sizeof expected);
        std::memcpy(expected, kCaptions[i].word, std::strlen(kCaptions[i].word));
        EXPECT_EQ(std::memcmp(caption_texts[i].bytes, expected, kCaptionLength), 0) << "caption " << i;
    }
}

TEST(CaptionTables, RasterPositionsLandWhereTheProjectionPutsThem) {
    test_support::start_headless_demo();
    // The six places in use, with where they land (pixels from the lower-left, rounded).
    const struct {
        int x, y;
        double screen_x, screen_y;
    } places[] = {
        {50, 200, 96, 408}, {180, 150, 301, 303}, {10, 100, 33, 198},
        {125, 75, 214, 146}, {200, 25, 333, 40},  {100, 110, 175, 219},
    };
    for (const auto& p : places) {
        const Raster r = raster_of_place(2 * p.x, 2 * p.y);
        const test_support::ScreenPoint s = caption_frames::raster_on_screen(p.x, p.y);
        EXPECT_TRUE(r.valid) << p.x << "," << p.y;
        EXPECT_NEAR(r.x, s.x, 0.01) << p.x << "," << p.y;
        EXPECT_NEAR(r.y, s.y, 0.01) << p.x << "," << p.y;
        EXPECT_NEAR(s.x, p.screen_x, 1.0);
        EXPECT_NEAR(s.y, p.screen_y, 1.0);
    }
    // Caption 19's place lies below the view: the raster position is invalid, the word dropped.
    EXPECT_LT(caption_frames::raster_on_screen(0, 0).y, 0.0);
    EXPECT_FALSE(raster_of_place(0, 0).valid);
}

TEST(CaptionPass, LeavesDepthTestAndLightingOffAndTGenerationOffAfterStrokes) {
    test_support::start_headless_demo();
    const struct {
        uint32_t t;
        bool depth_and_lighting, t_generation;
    } cases[] = {
        {8150, false, false},   // phrase words with strokes
        {20000, false, true},   // the name alone: no strokes
        {30000, true, true},    // no caption at all
        {7850, false, false},   // only the blank caption 0: strokes, and its word turns them off too
    };
    for (const auto& c : cases) {
        test_support::render_at(c.t);
        EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST) == GL_TRUE, c.depth_and_lighting) << c.t;
        EXPECT_EQ(glIsEnabled(GL_LIGHTING) == GL_TRUE, c.depth_and_lighting) << c.t;
        EXPECT_EQ(glIsEnabled(GL_TEXTURE_GEN_T) == GL_TRUE, c.t_generation) << c.t;
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S)) << c.t;
        GLfloat m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        for (int k = 0; k < 16; ++k) EXPECT_EQ(m[k], k % 5 == 0 ? 1.0f : 0.0f) << c.t;
    }
}

TEST(CaptionPass, StrokesResetTheGeneratorSoTheSwarmRespawnsFromThe385thValue) {
    test_support::start_headless_demo();
    uint32_t state = 0;
    for (int i = 0; i < 384; ++i) state = rand_step(state);
    const int value_385 = rand_value(rand_step(state));

    demo_rand_state = 12345;  // whatever came before
    caption_frames::play(7950, 8150);
    EXPECT_EQ(demo_rand_state, state);
    test_support::render_at(20000);  // the name alone draws no strokes and takes no value
    EXPECT_EQ(demo_rand_state, state);

    // The first swarm frame after it respawns cube 0 (sent past -1.0) from the next value.
    particle_field[0].z = -0.5f;
    test_support::render_at(45000);
    EXPECT_NEAR(particle_field[0].z, value_385 * 0.00025 - 15.0 + 0.1, 1e-4);
}

// The browser's sharp pictures carry glyphs for the captions' letters only: a caption with any
// other character would lose it there, silently.
TEST(CaptionTables, EveryCaptionCharacterIsABlankOrALetterTheBrowsersSharpFacesHold) {
    for (int i = 0; i < kCaptionCount; ++i) {
        for (char c : caption_texts[i].bytes) {
            const uint32_t code = uint8_t(c);
            EXPECT_TRUE(c == ' ' || (code >= baked_font::kSharpFirstCode &&
                                     code - baked_font::kSharpFirstCode < baked_font::kSharpCodeCount))
                << "caption " << i << " has '" << c << "'";
        }
    }
}
