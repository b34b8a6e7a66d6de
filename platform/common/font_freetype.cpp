// The bold bitmap font of the captions, made the way the Windows font request would make it:
// the face matched through fontconfig, sized as the Windows font mapper sizes a cell height,
// each glyph rendered one bit per pixel into a glBitmap display list. Main thread, with the GL
// context current for the lists; shared by the SDL2 and headless backends, and by the web
// build's generator, which bakes the same glyphs into a table.
//
// The face and the library stay open for the whole run, like the font object a device context
// holds; FreeType and fontconfig allocate for themselves, this file only uses static storage.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/common/font_glyphs.h"
#include "platform/platform.h"

namespace platform {
namespace {

FT_Library library;
FT_Face selected_face;  // the font "selected into" the one device context; null until made

// One glyph bitmap at a time, rows turned bottom-up for the visitor.
constexpr int kScratchBytes = 64 * 1024;
uint8_t glyph_scratch[kScratchBytes];

// The request and the lists, kept to make the glyphs again at another picture size.
int requested_cell_height;
double pixel_scale = 1.0;
// The classic picture's glyph placement, code by code: pen advance and the bitmap's origin from
// the pen. A sharp picture places its glyphs by these, scaled, so that its words lie where the
// classic picture's lie rather than where offsets rounded at another size would put them.
constexpr uint32_t kCodes = 256;
struct Placement {
    int advance, left, top;
};
Placement classic_placements[kCodes];
bool lists_made;
uint32_t lists_first, lists_count, lists_base;

// Windows TrueType weights: FW_BOLD is 700, FW_SEMIBOLD 600.
constexpr FT_UShort kBoldWeightClass = 700;

bool face_is_bold(FT_Face face) {
    if ((face->style_flags & FT_STYLE_FLAG_BOLD) != 0) return true;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    return os2 != nullptr && os2->version != 0xFFFF && os2->usWeightClass >= kBoldWeightClass;
}

// The Windows mapper takes a positive height as the cell height: ascent plus descent, with the
// OS/2 table's Windows metrics; the em is scaled so that the cell fits that height.
long pixels_per_em(FT_Face face, double cell_height) {
    long cell_units = 0;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF) cell_units = long(os2->usWinAscent) + long(os2->usWinDescent);
    if (cell_units <= 0) {
        const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
        if (hhea != nullptr) cell_units = long(hhea->Ascender) - long(hhea->Descender);
    }
    if (cell_units <= 0) cell_units = long(face->ascender) - long(face->descender);
    if (cell_units <= 0) cell_units = face->units_per_EM;
    // Hinted bitmaps come at whole pixels per em, rounded to nearest (ties to even).
    const long ppem = std::lrint(double(face->units_per_EM) * cell_height / double(cell_units));
    return ppem < 1 ? 1 : ppem;
}

// The best match (with its file) for a bold, upright outline face of this family, or false.
bool match_bold_face(const char* family, FcPattern** match_out) {
    if (!FcInit()) return false;
    FcPattern* request = FcPatternCreate();
    FcPatternAddString(request, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(request, FC_WEIGHT, FC_WEIGHT_BOLD);
    FcPatternAddInteger(request, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(request, FC_OUTLINE, FcTrue);  // a TrueType request (OUT_TT_PRECIS)
    FcConfigSubstitute(nullptr, request, FcMatchPattern);
    FcDefaultSubstitute(request);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, request, &result);
    FcPatternDestroy(request);
    if (match == nullptr) return false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) {
        FcPatternDestroy(match);
        return false;
    }
    *match_out = match;  // kept: the face is open for the whole run
    return true;
}

int advance_pixels(FT_Pos advance_26_6) { return int(std::lrint(double(advance_26_6) / 64.0)); }

constexpr FT_Int32 kLoadFlags = FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO;

// How far the pen moves after this code at the face's size; codes without a glyph advance like
// the face's default (.notdef) glyph, showing nothing.
int pen_advance(FT_Face face, uint32_t code) {
    const FT_UInt glyph_index = code <= 0xFF ? FT_Get_Char_Index(face, code) : 0;
    if (FT_Load_Glyph(face, glyph_index, kLoadFlags) != 0) return 0;
    return advance_pixels(face->glyph->advance.x);
}

Placement placement(FT_Face face, uint32_t code) {
    Placement p{pen_advance(face, code), 0, 0};
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) == 0) p.left = face->glyph->bitmap_left, p.top = face->glyph->bitmap_top;
    return p;
}

}  // namespace

bool create_bold_font(DeviceContext, int cell_height, const char* face_name) {
    FcPattern* match = nullptr;
    if (!match_bold_face(face_name, &match)) {
        std::fprintf(stderr, "font: no bold sans-serif face found for \"%s\"; captions stay blank\n", face_name);
        return false;
    }
    FcChar8* file = nullptr;
    int index = 0;
    FcPatternGetString(match, FC_FILE, 0, &file);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);

    FT_Face face = nullptr;
    if ((library == nullptr && FT_Init_FreeType(&library) != 0) ||
        FT_New_Face(library, reinterpret_cast<const char*>(file), index, &face) != 0) {
        std::fprintf(stderr, "font: cannot open %s; captions stay blank\n", reinterpret_cast<const char*>(file));
        return false;
    }
    if (!FT_IS_SCALABLE(face) || !face_is_bold(face)) {
        std::fprintf(stderr, "font: %s is not a bold outline face; captions stay blank\n",
                     reinterpret_cast<const char*>(file));
        FT_Done_Face(face);
        return false;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    requested_cell_height = cell_height;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels_per_em(face, cell_height))) == 0) {
        for (uint32_t code = 0; code < kCodes; ++code) classic_placements[code] = placement(face, code);
    }
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels_per_em(face, cell_height * pixel_scale))) != 0) {
        std::fprintf(stderr, "font: cannot size %s; captions stay blank\n", reinterpret_cast<const char*>(file));
        FT_Done_Face(face);
        return false;
    }
    selected_face = face;
    return true;
}

void use_font_bitmaps(DeviceContext, uint32_t first, uint32_t count, uint32_t list_base) {
    lists_made = true;
    lists_first = first;
    lists_count = count;
    lists_base = list_base;
    // No font: the lists stay empty and draw nothing.
    font_glyphs::for_each(
        first, count,
        [](uint32_t code, const font_glyphs::Glyph& glyph, void* base) {
            font_glyphs::compile_list(*static_cast<uint32_t*>(base) + code, glyph);
        },
        &list_base);
}

}  // namespace platform

namespace font_glyphs {

bool set_scale(double scale) {
    using namespace platform;
    if (scale == pixel_scale) return false;
    pixel_scale = scale;
    if (selected_face == nullptr) return false;
    // Sizing a face that was sized before does not fail; should it, the old glyphs stay.
    FT_Set_Pixel_Sizes(selected_face, 0, FT_UInt(pixels_per_em(selected_face, requested_cell_height * scale)));
    return lists_made;
}

void compile_lists_again() {
    using namespace platform;
    if (lists_made) use_font_bitmaps(nullptr, lists_first, lists_count, lists_base);
}

bool for_each(uint32_t first, uint32_t count, Visit visit, void* context) {
    FT_Face face = platform::selected_face;
    if (face == nullptr) return false;

    using platform::kLoadFlags;
    const int default_advance = platform::pen_advance(face, 0x100);  // beyond Latin-1: the default glyph

    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t code = first + i;  // Latin-1: the code is the Unicode code point
        const FT_UInt glyph_index = code <= 0xFF ? FT_Get_Char_Index(face, code) : 0;
        Glyph glyph{0, 0, 0, 0, default_advance, platform::glyph_scratch};
        if (glyph_index != 0 && FT_Load_Glyph(face, glyph_index, kLoadFlags) == 0 &&
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) == 0) {
            const FT_GlyphSlot slot = face->glyph;
            const FT_Bitmap& bitmap = slot->bitmap;
            glyph.left = slot->bitmap_left;
            glyph.top = slot->bitmap_top;
            glyph.advance = platform::advance_pixels(slot->advance.x);
            const int row_bytes = (int(bitmap.width) + 7) / 8;
            // A glyph too large for the scratch buffer keeps its advance and shows nothing.
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO && row_bytes * int(bitmap.rows) <= platform::kScratchBytes) {
                glyph.width = int(bitmap.width);
                glyph.rows = int(bitmap.rows);
                for (int y = 0; y < glyph.rows; ++y) {
                    // FreeType rows run top-down (pitch may be negative); GL wants them bottom-up.
                    const uint8_t* src = bitmap.buffer + long(y) * bitmap.pitch;
                    if (bitmap.pitch < 0) src = bitmap.buffer + long(glyph.rows - 1 - y) * -bitmap.pitch;
                    std::memcpy(platform::glyph_scratch + (glyph.rows - 1 - y) * row_bytes, src, size_t(row_bytes));
                }
            }
        }
        if (platform::pixel_scale != 1.0 && code < platform::kCodes) {
            const platform::Placement& p = platform::classic_placements[code];
            glyph.advance = int(std::lrint(p.advance * platform::pixel_scale));
            glyph.left = int(std::lrint(p.left * platform::pixel_scale));
            glyph.top = int(std::lrint(p.top * platform::pixel_scale));
        }
        visit(code, glyph, context);
    }
    return true;
}

}  // namespace font_glyphs
