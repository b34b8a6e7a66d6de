// The caption font baked at build time: the glyphs the desktop FreeType code renders for the
// captions' font request, run-length coded in a compiled-in table (the browser has no FreeType).
// One face for the classic 640 x 480 picture with every code, and one for each sharp picture
// width the page may choose with the captions' letters only, rasterized at that size as the
// desktop's sharp picture rasterizes them. Read on the page's main thread when the glyph lists
// are made, and by the generator that checks what it wrote.
#pragma once

#include <cstdint>
#include <cstring>

namespace baked_font {

struct Glyph {
    uint16_t width;
    uint16_t rows;
    int16_t left;
    int16_t top;
    uint16_t advance;
    uint32_t offset;  // first byte of its rows in `runs`
};

struct Face {
    int picture_width;  // the picture these glyphs are drawn in, in pixels (4:3)
    uint32_t first_code;
    uint32_t code_count;
    uint32_t first_glyph;  // its glyphs in `glyphs`
};

// The sharp faces hold only these codes, the letters of every caption (a test holds the
// captions to it); the others keep their advance and draw nothing in a sharp picture.
constexpr uint32_t kSharpFirstCode = 'a';
constexpr uint32_t kSharpCodeCount = 26;
// Picture widths with a sharp face, smallest first. Each costs the page about 3.7 kB per 640
// pixels of width, so the steps are coarse; the page draws the next larger one and the browser
// shows it scaled down.
constexpr int kSharpWidths[] = {960, 1280, 1600, 1920, 2880};

// Rows bottom-up. A row is either kRepeatRow (the same bits as the row below it) or run lengths
// of alternating clear and set pixels, starting with clear, that add up to the glyph's width; a
// run of kLongRun or more is kLongRun bytes of kLongRun each, then the rest.
constexpr uint8_t kRepeatRow = 0xFF;
constexpr uint8_t kLongRun = 0xFE;

// The most bytes one decoded glyph takes; the generator refuses a table with a larger one.
constexpr int kMaxGlyphBytes = 64 * 1024;

extern const int cell_height;   // the request the table was made for
extern const char face_name[];
extern const int face_count;
extern const Face faces[];
extern const Glyph glyphs[];
extern const uint8_t runs[];

// Decodes one glyph's rows from `in` into `bits`, bottom-up, (width + 7) / 8 bytes a row.
inline void decode(const Glyph& g, const uint8_t* in, uint8_t* bits) {
    const int row_bytes = (g.width + 7) / 8;
    std::memset(bits, 0, size_t(row_bytes) * g.rows);
    for (int y = 0; y < g.rows; ++y) {
        uint8_t* row = bits + y * row_bytes;
        if (*in == kRepeatRow) {
            ++in;
            if (y > 0) std::memcpy(row, row - row_bytes, size_t(row_bytes));
            continue;
        }
        bool set = false;
        for (int x = 0; x < g.width; set = !set) {
            int run = 0;
            while (*in == kLongRun) run += *in++;
            run += *in++;
            if (set)
                for (int i = x; i < x + run; ++i) row[i / 8] |= uint8_t(0x80 >> (i % 8));
            x += run;
        }
    }
}

}  // namespace baked_font
