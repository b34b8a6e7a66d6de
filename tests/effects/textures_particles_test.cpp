// The generator, the two textures as the renderer holds them, and the particle field, against
// the worked values of the effects' description.
#include <gtest/gtest.h>

#include "effects/effects.h"
#include "platform/gl.h"
#include "tests/support/headless_demo.h"

namespace {

constexpr int kSide = 256;

// The texture of a slot as the renderer stores it, read back after binding the slot.
void read_slot(int slot, uint8_t* texels) {
    bind_texture_slot(slot);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, texels);
}

uint8_t texel(const uint8_t* texels, int column, int row) { return texels[row * kSide + column]; }

}  // namespace

TEST(Generator, FirstValuesFromStateZeroUseBitsTenToTwentyFour) {
    demo_rand_state = 0;
    const int expected[8] = {2471, 2531, 15766, 24904, 9683, 1365, 11109, 1903};
    for (int value : expected) EXPECT_EQ(demo_rand(), value);
    // The state itself follows the full 32-bit step: 8 steps of x * 214013 + 2531011 from 0.
    uint32_t state = 0;
    for (int i = 0; i < 8; ++i) state = state * 214013u + 2531011u;
    EXPECT_EQ(demo_rand_state, state);
}

TEST(Generator, ResultsStayWithinFifteenBits) {
    demo_rand_state = 0xFFFFFFFFu;
    for (int i = 0; i < 100000; ++i) {
        const int v = demo_rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

TEST(Textures, DiscTextureIsAFallingRingWithAZeroCentre) {
    test_support::start_headless_demo();
    static uint8_t disc[kSide * kSide];
    read_slot(1, disc);
    EXPECT_EQ(texel(disc, 128, 128), 0);  // r = 0 wraps 256 to 0
    EXPECT_EQ(texel(disc, 127, 128), 254);
    EXPECT_EQ(texel(disc, 129, 128), 254);
    EXPECT_EQ(texel(disc, 128, 127), 254);
    EXPECT_EQ(texel(disc, 128, 129), 254);
    EXPECT_EQ(texel(disc, 255, 128), 2);    // r = 127
    EXPECT_EQ(texel(disc, 0, 128), 0);      // r = 128
    EXPECT_EQ(texel(disc, 128, 0), 0);
    EXPECT_EQ(texel(disc, 0, 0), 0);
    EXPECT_EQ(texel(disc, 255, 0), 0);
    EXPECT_EQ(texel(disc, 0, 255), 0);
    EXPECT_EQ(texel(disc, 255, 255), 0);
    EXPECT_EQ(texel(disc, 128 + 30, 128 + 40), 256 - 2 * 50);  // a 3-4-5 point at r = 50
    int non_zero = 0;
    for (uint8_t v : disc) non_zero += v != 0;
    EXPECT_EQ(non_zero, 51100);
}

TEST(Textures, NoiseTextureStartsAsDescribedAndStaysBelow255) {
    test_support::start_headless_demo();
    static uint8_t noise[kSide * kSide];
    read_slot(0, noise);
    const uint8_t first[16] = {0, 9, 13, 67, 130, 102, 56, 71, 42, 73, 137, 123, 174, 116, 128, 78};
    for (int k = 0; k < 16; ++k) EXPECT_EQ(noise[k], first[k]) << "texel " << k;
    int highest = 0;
    for (uint8_t v : noise) highest = std::max<int>(highest, v);
    EXPECT_LE(highest, 254);
    EXPECT_GT(highest, 200);  // really noise, not a flat buffer
}

TEST(Textures, UploadedAsLinearlyFilteredLuminanceAndSlotZeroLeftBound) {
    test_support::start_headless_demo();
    GLint bound_after_start = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound_after_start);
    GLint names[2];
    for (int slot = 0; slot < 2; ++slot) {
        bind_texture_slot(slot);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &names[slot]);
        GLint min_filter = 0, width = 0, height = 0, luminance_bits = 0, red_bits = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_LUMINANCE_SIZE, &luminance_bits);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_RED_SIZE, &red_bits);
        EXPECT_EQ(min_filter, GL_LINEAR) << "slot " << slot;
        EXPECT_EQ(width, 256);
        EXPECT_EQ(height, 256);
        EXPECT_EQ(luminance_bits, 8);  // one luminance component, not RGB
        EXPECT_EQ(red_bits, 0);
    }
    EXPECT_NE(names[0], names[1]);
    EXPECT_EQ(bound_after_start, names[0]);
}

TEST(Textures, BindingASlotRestoresBothObjectLinearPlanes) {
    test_support::start_headless_demo();
    struct Case {
        int slot;
        GLfloat s[4], t[4];
    };
    const Case cases[] = {{0, {0.1f, 0, 0, 0}, {0, 0.1f, 0, 0}}, {1, {1, 0, 0, 0}, {0, 1, 0, 0}}};
    for (const Case& c : cases) {
        // What the caption strokes leave: T generation off, another plane in place.
        const GLfloat other[4] = {0, 0, 1, 0};
        glTexGenfv(GL_S, GL_OBJECT_PLANE, other);
        glTexGenfv(GL_T, GL_OBJECT_PLANE, other);
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);

        bind_texture_slot(c.slot);
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S)) << "slot " << c.slot;
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_T)) << "slot " << c.slot;
        GLint mode_s = 0, mode_t = 0;
        glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode_s);
        glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode_t);
        EXPECT_EQ(mode_s, GL_OBJECT_LINEAR);
        EXPECT_EQ(mode_t, GL_OBJECT_LINEAR);
        GLfloat s[4], t[4];
        glGetTexGenfv(GL_S, GL_OBJECT_PLANE, s);
        glGetTexGenfv(GL_T, GL_OBJECT_PLANE, t);
        for (int k = 0; k < 4; ++k) {
            EXPECT_FLOAT_EQ(s[k], c.s[k]) << "slot " << c.slot << " S coefficient " << k;
            EXPECT_FLOAT_EQ(t[k], c.t[k]) << "slot " << c.slot << " T coefficient " << k;
        }
    }
}

TEST(ParticleField, BuiltFromTheDrawsAfterTheNoise) {
    test_support::start_headless_demo();
    struct Case {
        int index;
        Vec3 expected;
    };
    const Case cases[] = {{0, {8.668f, 8.835f, 15.807f}},
                          {1, {8.306f, 14.116f, 8.879f}},
                          {1499, {-1.933f, -11.073f, -12.030f}}};
    for (const Case& c : cases) {
        const Vec3& p = particle_field[c.index];
        EXPECT_NEAR(p.x, c.expected.x, 0.0006) << "particle " << c.index;
        EXPECT_NEAR(p.y, c.expected.y, 0.0006) << "particle " << c.index;
        EXPECT_NEAR(p.z, c.expected.z, 0.0006) << "particle " << c.index;
    }
    // The start-up took exactly 65,535 noise draws and 4,500 particle draws from state 0.
    const uint32_t after_start = demo_rand_state;
    demo_rand_state = 0;
    for (int i = 0; i < 65535 + 4500; ++i) demo_rand();
    EXPECT_EQ(after_start, demo_rand_state);
    // Every component within the stated range.
    for (const Vec3& p : particle_field) {
        for (float v : {p.x, p.y, p.z}) {
            ASSERT_GE(v, -16.4841f);
            ASSERT_LE(v, 16.2831f);
        }
    }
}
