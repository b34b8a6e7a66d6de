// The caption font lists against the face itself: each list draws the face's one-bit glyph with
// its origin on the raster position and moves the raster position by the glyph's advance, at
// the size the Windows font mapper gives a 92-pixel cell; blanks and codes without a glyph still
// advance. Also the machines without a usable face: one line on stderr, empty lists, the demo
// plays on.
#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "captions/captions.h"
#include "platform/gl.h"
#include "tests/support/caption_frames.h"
#include "tests/support/headless_demo.h"

namespace {

// The face fontconfig picks for a bold Arial, opened straight with FreeType at the size the
// Windows mapper gives a 92-pixel cell: ppem = units per em x 92 / (win ascent + win descent).
struct ReferenceFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    long ppem = 0;
    double cell_pixels = 0.0;  // win ascent + win descent at that size
    std::string family;
};

ReferenceFace open_reference_face() {
    ReferenceFace r;
    FcPattern* request = FcNameParse(reinterpret_cast<const FcChar8*>("ARIAL:bold:roman"));
    FcConfigSubstitute(nullptr, request, FcMatchPattern);
    FcDefaultSubstitute(request);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, request, &result);
    if (match == nullptr) return r;
    FcChar8* file = nullptr;
    FcChar8* family = nullptr;
    FcPatternGetString(match, FC_FILE, 0, &file);
    FcPatternGetString(match, FC_FAMILY, 0, &family);
    r.family = reinterpret_cast<const char*>(family);
    FT_Init_FreeType(&r.library);
    if (FT_New_Face(r.library, reinterpret_cast<const char*>(file), 0, &r.face) != 0) return r;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(r.face, FT_SFNT_OS2));
    const double cell_units = double(os2->usWinAscent) + double(os2->usWinDescent);
    r.ppem = std::lround(r.face->units_per_EM * 92.0 / cell_units);
    r.cell_pixels = cell_units * double(r.ppem) / r.face->units_per_EM;
    FT_Set_Pixel_Sizes(r.face, 0, FT_UInt(r.ppem));
    return r;
}

// Plain white bitmaps on black, with window coordinates as object coordinates.
void clean_picture_state() {
    test_support::start_headless_demo();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, test_support::kPictureWidth, 0.0, test_support::kPictureHeight, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
}

float raster_x() {
    GLfloat p[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, p);
    return p[0];
}

// With empty font lists a word neither draws nor moves the raster position.
void expect_name_draws_nothing() {
    glLoadIdentity();
    place_caption(200, 220);
    const float start = raster_x();
    glLoadIdentity();
    draw_caption(caption_texts[20], 200, 220);
    EXPECT_EQ(raster_x(), start);
}

int lit_pixels(const uint8_t* rgba) {
    int n = 0;
    for (int i = 0; i < test_support::kPictureWidth * test_support::kPictureHeight; ++i) n += rgba[i * 4] != 0;
    return n;
}

constexpr float kOriginX = 100.25f;  // window pixels; a quarter in, clear of rounding ties
constexpr float kOriginY = 150.25f;

std::filesystem::path write_fontconfig(const std::string& name, const std::string& dirs) {
    const std::filesystem::path folder = std::filesystem::path(testing::TempDir()) / name;
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "fonts.conf";
    FILE* f = std::fopen(file.c_str(), "w");
    std::fprintf(f, "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n%s"
                    "<cachedir>%s</cachedir>\n</fontconfig>\n",
                 dirs.c_str(), (folder / "cache").c_str());
    std::fclose(f);
    return file;
}

}  // namespace

TEST(CaptionFont, TheFaceIsABoldSansSizedToA92PixelCell) {
    test_support::start_headless_demo();
    const ReferenceFace ref = open_reference_face();
    ASSERT_NE(ref.face, nullptr) << "no face for ARIAL:bold";
    std::printf("face: %s %s, %ld pixels per em\n", ref.family.c_str(), ref.face->style_name, ref.ppem);
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ref.face, FT_SFNT_OS2));
    EXPECT_GE(os2->usWeightClass, 700);
    EXPECT_NEAR(ref.cell_pixels, 92.0, 1.0);
    if (ref.family == "Liberation Sans") {
        EXPECT_EQ(ref.ppem, 82);  // 2048 x 92 / (1854 + 434) = 82.3
    }
}

TEST(CaptionFont, EachListDrawsTheFaceGlyphAtTheRasterPositionAndAdvances) {
    clean_picture_state();
    const ReferenceFace ref = open_reference_face();
    ASSERT_NE(ref.face, nullptr);
    // Capitals, a descender, a left overhang, a symbol, a Latin-1 letter with an accent.
    for (int code : {int('H'), int('g'), int('j'), int('%'), 0xE9, int('z')}) {
        ASSERT_EQ(FT_Load_Char(ref.face, FT_ULong(code), FT_LOAD_TARGET_MONO), 0);
        ASSERT_EQ(FT_Render_Glyph(ref.face->glyph, FT_RENDER_MODE_MONO), 0);
        const FT_Bitmap& bm = ref.face->glyph->bitmap;
        const int left = ref.face->glyph->bitmap_left;
        const int top = ref.face->glyph->bitmap_top;

        glClear(GL_COLOR_BUFFER_BIT);
        glRasterPos2f(kOriginX, kOriginY);
        glCallList(font_list_base + uint32_t(code));
        EXPECT_FLOAT_EQ(raster_x(), kOriginX + float(ref.face->glyph->advance.x / 64)) << "code " << code;

        const uint8_t* picture = test_support::read_picture();
        int expected_lit = 0;
        int mismatches = 0;
        for (int row = 0; row < int(bm.rows); ++row)
            for (int col = 0; col < int(bm.width); ++col) {
                const bool on = (bm.buffer[row * bm.pitch + col / 8] >> (7 - col % 8)) & 1;
                expected_lit += on;
                // FreeType row 0 is the top row, `top` pixels above the baseline.
                const int x = int(kOriginX) + left + col;
                const int y = int(kOriginY) + top - 1 - row;
                mismatches += on != (test_support::pixel_at(picture, x, y).r == 255);
            }
        EXPECT_GT(expected_lit, 100) << "code " << code;
        EXPECT_EQ(mismatches, 0) << "code " << code;
        EXPECT_EQ(lit_pixels(picture), expected_lit) << "code " << code << ": nothing outside the glyph";
        test_support::save_png("font_glyph_" + std::to_string(code), picture);
    }
}

TEST(CaptionFont, BlanksAndCodesWithoutAGlyphAdvanceAndDrawNothing) {
    clean_picture_state();
    const ReferenceFace ref = open_reference_face();
    ASSERT_NE(ref.face, nullptr);
    ASSERT_EQ(FT_Load_Char(ref.face, ' ', FT_LOAD_TARGET_MONO), 0);
    const float space = float(ref.face->glyph->advance.x / 64);
    ASSERT_EQ(FT_Load_Glyph(ref.face, 0, FT_LOAD_TARGET_MONO), 0);
    const float notdef = float(ref.face->glyph->advance.x / 64);
    ASSERT_EQ(FT_Get_Char_Index(ref.face, 0x01), 0u) << "code 1 has no glyph in this face";

    const struct {
        int code;
        float advance;
    } cases[] = {{' ', space}, {0x01, notdef}};
    for (const auto& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT);
        glRasterPos2f(kOriginX, kOriginY);
        glCallList(font_list_base + uint32_t(c.code));
        EXPECT_GT(c.advance, 10.0f);
        EXPECT_FLOAT_EQ(raster_x(), kOriginX + c.advance) << "code " << c.code;
        EXPECT_EQ(lit_pixels(test_support::read_picture()), 0) << "code " << c.code;
    }

}

TEST(CaptionFont, ACaptionDrawsAllEightBytesBlanksIncluded) {
    test_support::start_headless_demo();
    const ReferenceFace ref = open_reference_face();
    ASSERT_NE(ref.face, nullptr);
    ASSERT_EQ(FT_Load_Char(ref.face, ' ', FT_LOAD_TARGET_MONO), 0);
    const float space = float(ref.face->glyph->advance.x / 64);
    ASSERT_EQ(FT_Load_Char(ref.face, 'i', FT_LOAD_TARGET_MONO), 0);
    const float i_advance = float(ref.face->glyph->advance.x / 64);
    // "i" and seven blanks, from caption 1's place under the demo's projection.
    glLoadIdentity();
    place_caption(360, 300);
    const float start = raster_x();
    glLoadIdentity();
    draw_caption(caption_texts[1], 360, 300);
    EXPECT_NEAR(raster_x(), start + i_advance + 7.0f * space, 1e-3);
}

TEST(CaptionFont, WithoutAnyFaceOneLineOnStderrAndTheDemoPlaysOnWithoutWords) {
    // A fontconfig that knows no font folder at all.
    setenv("FONTCONFIG_FILE", write_fontconfig("no_fonts", "").c_str(), 1);
    testing::internal::CaptureStderr();
    test_support::start_headless_demo();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("ARIAL"), std::string::npos) << err;

    // The words draw nothing and do not advance; strokes and name frames still render.
    const caption_frames::Picture with = caption_frames::play(7950, 8150, true);
    EXPECT_GT(caption_frames::grey_pixels(with, caption_frames::kWholeScreen),
              caption_frames::kWholeScreen.x1 * caption_frames::kWholeScreen.y1 / 2) << "strokes";
    const caption_frames::Picture without = caption_frames::play(7950, 8150, false);
    EXPECT_EQ(caption_frames::diff(with, without, caption_frames::kWholeScreen).count, 0);
    caption_frames::play(17800, 20000, true);
    expect_name_draws_nothing();
}

TEST(CaptionFont, AFaceThatIsNotBoldIsRefused) {
    // Only the regular weight is known: fontconfig offers it for a bold request, the font
    // refuses it rather than showing thin words.
    const char* regular = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
    if (!std::filesystem::exists(regular)) GTEST_SKIP() << regular << " not installed";
    const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "regular_only" / "fonts";
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir / "LiberationSans-Regular.ttf");
    std::filesystem::create_symlink(regular, dir / "LiberationSans-Regular.ttf");
    setenv("FONTCONFIG_FILE", write_fontconfig("regular_only", "<dir>" + dir.string() + "</dir>\n").c_str(), 1);

    testing::internal::CaptureStderr();
    test_support::start_headless_demo();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("not a bold"), std::string::npos) << err;
    expect_name_draws_nothing();
}
