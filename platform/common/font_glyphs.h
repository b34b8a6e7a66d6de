// The caption font's glyphs as one-bit bitmaps, between the FreeType rasterizer and the display
// lists that draw them: the desktop backends render and compile them at start-up, the web build
// renders them at build time into a compiled-in table. Main thread (or the build's generator).
#pragma once

#include <cstdint>

namespace font_glyphs {

// One glyph as wglUseFontBitmaps lays it out: rows bottom-up, (width + 7) / 8 bytes each, most
// significant bit leftmost; the origin `left` pixels right of the pen and `top` rows above the
// baseline; the pen then moves `advance` pixels right.
struct Glyph {
    int width;
    int rows;
    int left;
    int top;
    int advance;
    const uint8_t* bits;  // valid only during the visit
};

using Visit = void (*)(uint32_t code, const Glyph& glyph, void* context);

// Visits codes first .. first + count - 1 of the font create_bold_font selected, in order; a code
// the face has no glyph for comes as an empty glyph with the face's default advance. False, with
// nothing visited, when no font is selected.
bool for_each(uint32_t first, uint32_t count, Visit visit, void* context);

// Device pixels per pixel of the classic 640 x 480 picture (1 at start): a font's cell height is
// asked for in the classic picture's pixels and rasterized at that many times the size, so that
// a sharp picture's glyphs are drawn at its own resolution rather than scaled up. When a font is
// selected its face is sized again at once; true when use_font_bitmaps had already filled lists,
// which then hold glyphs of the old size (compile_lists_again makes them anew).
bool set_scale(double scale);
// Fills the lists use_font_bitmaps filled last once more, from the selected font at its size.
void compile_lists_again();

// Compiles display list `list` as one glBitmap of this glyph at the raster position, followed by
// its advance, under GL's default unpack state. Needs the GL context current.
void compile_list(uint32_t list, const Glyph& glyph);

}  // namespace font_glyphs
