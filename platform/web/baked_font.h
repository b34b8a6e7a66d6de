// The caption font baked at build time: the glyphs the desktop FreeType code renders for the
// captions' font request, run-length coded in a compiled-in table (the browser has no FreeType).
// Read on the page's main thread when the glyph lists are made.
#pragma once

#include <cstdint>

namespace baked_font {

struct Glyph {
    uint8_t width;
    uint8_t rows;
    int8_t left;
    int8_t top;
    uint8_t advance;
    uint32_t offset;  // first byte of its rows in `runs`
};

// Rows bottom-up. A row is either kRepeatRow (the same bits as the row below it) or run lengths
// of alternating clear and set pixels, starting with clear, that add up to the glyph's width.
constexpr uint8_t kRepeatRow = 0xFF;

extern const int cell_height;   // the request the table was made for
extern const char face[];
extern const uint32_t first_code;
extern const uint32_t code_count;
extern const Glyph glyphs[];
extern const uint8_t runs[];

}  // namespace baked_font
