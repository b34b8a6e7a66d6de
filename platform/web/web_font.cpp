// Web backend, font: the glyph lists made from the baked table instead of a system font, with
// the same list layout as the desktop, from the face baked for the canvas's width. Page main
// thread, with the GL context current.
#include <cmath>
#include <cstdio>
#include <strings.h>

#include "platform/common/font_glyphs.h"
#include "platform/platform.h"
#include "platform/web/baked_font.h"
#include "platform/web/web.h"

namespace {

uint8_t glyph_bits[baked_font::kMaxGlyphBytes];
bool font_selected;

const baked_font::Face* face_for(int picture_width) {
    for (int i = 0; i < baked_font::face_count; ++i)
        if (baked_font::faces[i].picture_width == picture_width) return &baked_font::faces[i];
    return nullptr;
}

const baked_font::Glyph* glyph_of(const baked_font::Face& face, uint32_t code) {
    if (code < face.first_code || code - face.first_code >= face.code_count) return nullptr;
    return &baked_font::glyphs[face.first_glyph + code - face.first_code];
}

}  // namespace

namespace web {

int sharp_width(int wanted) {
    // The faces come smallest first, the classic one's 640 among them.
    for (int i = 0; i < baked_font::face_count; ++i)
        if (baked_font::faces[i].picture_width >= wanted) return baked_font::faces[i].picture_width;
    return baked_font::faces[baked_font::face_count - 1].picture_width;
}

}  // namespace web

namespace platform {

bool create_bold_font(DeviceContext, int cell_height, const char* face) {
    // Only the request the table was baked for can be had: there is no other font in the page.
    font_selected = cell_height == baked_font::cell_height && strcasecmp(face, baked_font::face_name) == 0 &&
                    face_for(web::picture_width()) != nullptr;
    if (!font_selected)
        std::fprintf(stderr, "font: no baked glyphs for \"%s\" at %d pixels in a %d pixel wide picture; captions "
                     "stay blank\n", face, cell_height, web::picture_width());
    return font_selected;
}

void use_font_bitmaps(DeviceContext, uint32_t first, uint32_t count, uint32_t list_base) {
    if (!font_selected) return;
    const baked_font::Face& classic = *face_for(kPictureWidth);
    const baked_font::Face& face = *face_for(web::picture_width());
    const double scale = double(face.picture_width) / kPictureWidth;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t code = first + i;
        const baked_font::Glyph* g = glyph_of(face, code);
        if (g != nullptr) {
            baked_font::decode(*g, baked_font::runs + g->offset, glyph_bits);
            font_glyphs::compile_list(list_base + i, {g->width, g->rows, g->left, g->top, g->advance, glyph_bits});
        } else if ((g = glyph_of(classic, code)) != nullptr) {
            // A code the sharp face lacks moves the pen as its classic glyph does, scaled, as the
            // desktop's sharp picture places every glyph.
            font_glyphs::compile_list(list_base + i, {0, 0, 0, 0, int(std::lrint(g->advance * scale)), glyph_bits});
        }
    }
}

}  // namespace platform
