// The captions: the bold font lists, the caption tables and their time windows, and the caption
// pass that the frame loop runs after its flash scan, with the grey strokes behind the words.
// Main thread only.
//
// Render state is not saved or restored here: a word leaves depth test and lighting off and the
// strokes leave T generation off, and the next frame starts from that.
#include "captions/captions.h"

#include "effects/effects.h"
#include "platform/gl.h"

uint32_t font_list_base;

namespace {

constexpr uint32_t kWordStepMs = 100;     // a phrase shows one more word every 100 ms
constexpr uint32_t kGroupLengthMs = 700;  // all words of a phrase vanish 700 ms after its start
constexpr uint32_t kNameStartMs = 18000;  // the name caption's window, ms
constexpr uint32_t kNameEndMs = 22000;

// Picture units to the eye-space rectangle at depth 1: 1/640 and 1/480, single precision.
constexpr float kPerPictureX = 0.0015625f;
constexpr float kPerPictureY = 0.0020833334f;
constexpr float kPlaneSpan = 3.0f;     // eye units across the mapped range
constexpr float kOffsetX = 0.6f;       // the mapping is centred with 0.6 x 3 = 1.8 units to the left
constexpr float kOffsetY = 0.5f;       // and 0.5 x 3 = 1.5 units down
constexpr float kCaptionDepth = -1.0f; // eye units in front of the viewer

constexpr int kStrokeVertices = 128;      // 32 quads of four unrelated random corners
constexpr float kRandScale = 1.0f / 32768.0f;  // generator value to [0, 1), exact
constexpr float kStrokeDepth = -0.1f;     // eye units: on the near plane, in front of everything

constexpr CaptionText text(const char (&s)[kCaptionLength + 1]) {
    CaptionText t{};
    for (int i = 0; i < kCaptionLength; ++i) t.bytes[i] = s[i];
    return t;
}

}  // namespace

static_assert(sizeof(CaptionText) == kCaptionLength, "a text is exactly eight bytes, no terminator");
static_assert(sizeof(CaptionPosition) == 2, "a position is two bytes");

// Index:                                 text          position    window after start-up   colour
const CaptionText caption_texts[kCaptionCount] = {
    text("        "),  //  0  (50, 200)   7800-8500    white
    text("i       "),  //  1  (180, 150)  7900-8500    white
    text("become  "),  //  2  (10, 100)   8000-8500    white
    text("a bad   "),  //  3  (125, 75)   8100-8500    white
    text("guy     "),  //  4  (200, 25)   8200-8500    white
    text("mad     "),  //  5  (50, 200)   11000-11700  white
    text("for     "),  //  6  (180, 150)  11100-11700  white
    text("world   "),  //  7  (10, 100)   11200-11700  white
    text("insanity"),  //  8  (125, 75)   11300-11700  white
    text("        "),  //  9  (200, 25)   11400-11700  white
    text("i       "),  // 10  (50, 200)   13700-14400  white
    text("just    "),  // 11  (180, 150)  13800-14400  white
    text("go      "),  // 12  (10, 100)   13900-14400  white
    text("for     "),  // 13  (125, 75)   14000-14400  white
    text("        "),  // 14  (200, 25)   14100-14400  white
    text("all u   "),  // 15  (50, 200)   68000-68700  white
    text("expect  "),  // 16  (180, 150)  68100-68700  white
    text("from    "),  // 17  (10, 100)   68200-68700  white
    text("us      "),  // 18  (125, 75)   68300-68700  white
    text("        "),  // 19  (0, 0)      68400-68700  white
    text("zanthorp"),  // 20  (100, 110)  18000-22000  black
};

// Half the picture position of each caption; the words of a phrase step down and across.
const CaptionPosition caption_positions[kCaptionCount] = {
    {50, 200}, {180, 150}, {10, 100}, {125, 75}, {200, 25},
    {50, 200}, {180, 150}, {10, 100}, {125, 75}, {200, 25},
    {50, 200}, {180, 150}, {10, 100}, {125, 75}, {200, 25},
    {50, 200}, {180, 150}, {10, 100}, {125, 75}, {0, 0},  // QUIRK: (0, 0) lies below the view; the blank word is dropped
    {100, 110},
};

// ms: the start of each phrase of five words (captions 0-4, 5-9, 10-14, 15-19).
const uint32_t caption_group_starts[kCaptionGroupCount] = {7800, 11000, 13700, 68000};

CaptionWindow caption_windows[kCaptionCount];
uint8_t strokes_pending;

static_assert(sizeof(caption_texts) == kCaptionCount * kCaptionLength);
static_assert(sizeof(caption_positions) == kCaptionCount * 2);
static_assert(kCaptionGroupCount * 5 == kNameCaption, "four phrases of five words, then the name");

void init_caption_font(platform::DeviceContext dc) {
    font_list_base = glGenLists(GLsizei(kFontCodes));
    platform::create_bold_font(dc, kFontCellHeight, kFontFace);
    platform::use_font_bitmaps(dc, 0, kFontCodes, font_list_base);
}

void build_caption_windows() {
    for (uint32_t i = 0; i < uint32_t(kNameCaption); ++i) {
        const uint32_t g = caption_group_starts[i / 5];
        caption_windows[i] = {g + kWordStepMs * (i % 5), g + kGroupLengthMs};
    }
    caption_windows[kNameCaption] = {kNameStartMs, kNameEndMs};
}

void place_caption(int x, int y) {
    glTranslatef(0.0f, 0.0f, kCaptionDepth);
    // Single precision throughout: X = 3 x/640 - 1.8, Y = 3 y/480 - 1.5 at depth 1.
    const float raster_x = (float(x) * kPerPictureX - kOffsetX) * kPlaneSpan;
    const float raster_y = (float(y) * kPerPictureY - kOffsetY) * kPlaneSpan;
    glRasterPos2f(raster_x, raster_y);
    // The words take the texel at the raster position's coordinates; a renderer that textures
    // a bitmap with the current coordinate instead (Mesa) then gets the same one.
    GLfloat raster_coords[4];
    glGetFloatv(GL_CURRENT_RASTER_TEXTURE_COORDS, raster_coords);
    glTexCoord4fv(raster_coords);
}

void draw_caption(const CaptionText& text, int x, int y) {
    // QUIRK: left off for the rest of the frame and into the next one (the backdrop shows brighter).
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    place_caption(x, y);
    glListBase(font_list_base);
    glCallLists(kCaptionLength, GL_UNSIGNED_BYTE, text.bytes);  // blanks too: they advance
    glLoadIdentity();
}

void draw_caption_strokes() {
    demo_rand_state = 0;  // the same strokes every time
    glColor4f(0.5f, 0.5f, 0.5f, 0.0f);
    // QUIRK: T generation stays off until the next bind_texture_slot; the words take the last t.
    glDisable(GL_TEXTURE_GEN_T);
    glBegin(GL_QUADS);
    for (int v = 0; v < kStrokeVertices; ++v) {
        const int r1 = demo_rand();
        glTexCoord2f(0.0f, float(r1) * kRandScale);
        const int r2 = demo_rand();
        const int r3 = demo_rand();
        glVertex3f(float(r3) * kRandScale - 0.5f, float(r2) * kRandScale - 0.5f, kStrokeDepth);
    }
    glEnd();
}

void draw_captions(uint32_t t) {
    strokes_pending = 1;
    for (int i = 0; i < kCaptionCount; ++i) {
        const CaptionWindow w = caption_windows[i];
        if (!(w.start < t && t < w.end)) continue;
        if (i != kNameCaption && strokes_pending != 0) {
            draw_caption_strokes();
            strokes_pending = 0;
        }
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        // QUIRK: alpha 0 means nothing with blending off; the name simply shows black.
        if (i == kNameCaption) glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
        draw_caption(caption_texts[i], 2 * caption_positions[i].x, 2 * caption_positions[i].y);
    }
}
