// Glyph display lists as wglUseFontBitmaps builds them: one glBitmap each, then the advance.
// Main thread, with the GL context current; shared by every backend that draws the font itself.
#include "platform/common/font_glyphs.h"

#include <cstring>

#include "platform/gl.h"

namespace font_glyphs {
namespace {

// One glyph at a time: glBitmap copies it into the list at compile time.
constexpr int kScratchBytes = 64 * 1024;
uint8_t glyph_scratch[kScratchBytes];

// GL's default unpack alignment: every row starts on a 4-byte boundary, so no pixel-store state
// has to be set (or be supported) for the lists to read right.
constexpr int kRowAlignment = 4;

}  // namespace

void compile_list(uint32_t list, const Glyph& glyph) {
    int width = glyph.bits != nullptr ? glyph.width : 0;
    int rows = glyph.bits != nullptr ? glyph.rows : 0;
    const int packed = (width + 7) / 8;
    const int stride = (packed + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    // A glyph too large for the scratch buffer keeps its advance and shows nothing.
    if (stride * rows > kScratchBytes) width = rows = 0;
    std::memset(glyph_scratch, 0, size_t(stride * rows));
    for (int y = 0; y < rows; ++y) std::memcpy(glyph_scratch + y * stride, glyph.bits + y * packed, size_t(packed));
    glNewList(list, GL_COMPILE);
    // QUIRK: Mesa draws a bitmap as a rectangle of its own, texturing it with generated
    // coordinates while S or T generation is on, else with the last primitive's vertex data; an
    // empty primitive with generation off makes it take the current texture coordinate, which
    // the caption has set to the raster position's. Elsewhere none of this changes a pixel.
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glBegin(GL_POINTS);
    glEnd();
    // Never a null bitmap, even for an empty glyph: Mesa then compiles a list that does not
    // advance the raster position.
    glBitmap(width, rows, GLfloat(-glyph.left), GLfloat(rows - glyph.top), GLfloat(glyph.advance), 0.0f,
             glyph_scratch);
    glPopAttrib();
    glEndList();
}

}  // namespace font_glyphs
