// Web backend, font: the glyph lists made from the baked table instead of a system font, with
// the same list layout as the desktop. Page main thread, with the GL context current.
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "platform/common/font_glyphs.h"
#include "platform/platform.h"
#include "platform/web/baked_font.h"

namespace {

constexpr int kMaxRowBytes = 32;  // the table holds glyphs narrower than 255 pixels
uint8_t glyph_bits[kMaxRowBytes * 256];
bool font_selected;

void set_bits(uint8_t* row, int from, int count) {
    for (int x = from; x < from + count; ++x) row[x / 8] |= uint8_t(0x80 >> (x % 8));
}

// Decodes one glyph's rows into glyph_bits, bottom-up, tightly packed.
void decode(const baked_font::Glyph& g) {
    const int row_bytes = (g.width + 7) / 8;
    std::memset(glyph_bits, 0, size_t(row_bytes * g.rows));
    const uint8_t* in = baked_font::runs + g.offset;
    for (int y = 0; y < g.rows; ++y) {
        uint8_t* row = glyph_bits + y * row_bytes;
        if (*in == baked_font::kRepeatRow) {
            ++in;
            if (y > 0) std::memcpy(row, row - row_bytes, size_t(row_bytes));
            continue;
        }
        bool set = false;
        for (int x = 0; x < g.width; set = !set) {
            const int run = *in++;
            if (set) set_bits(row, x, run);
            x += run;
        }
    }
}

}  // namespace

namespace platform {

bool create_bold_font(DeviceContext, int cell_height, const char* face) {
    // Only the request the table was baked for can be had: there is no other font in the page.
    font_selected = cell_height == baked_font::cell_height && strcasecmp(face, baked_font::face) == 0;
    if (!font_selected)
        std::fprintf(stderr, "font: no baked glyphs for \"%s\" at %d pixels; captions stay blank\n", face, cell_height);
    return font_selected;
}

void use_font_bitmaps(DeviceContext, uint32_t first, uint32_t count, uint32_t list_base) {
    if (!font_selected) return;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t code = first + i;
        if (code < baked_font::first_code || code - baked_font::first_code >= baked_font::code_count) continue;
        const baked_font::Glyph& g = baked_font::glyphs[code - baked_font::first_code];
        decode(g);
        font_glyphs::compile_list(list_base + i, {g.width, g.rows, g.left, g.top, g.advance, glyph_bits});
    }
}

}  // namespace platform
