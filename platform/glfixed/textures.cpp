// The fixed-function layer's texture images: which names have one (GL 1.1 textures nothing with
// an incomplete texture), and luminance images stored as RGBA, which llvmpipe samples faster
// (the tube's frame some 10 % faster) for the same texels. Main thread only, with the ES 3
// context current. Static storage only.
#include <cstdint>

#include "platform/glfixed/state.h"

namespace glfixed {
namespace {

constexpr GLsizei kMaxExpandedTexels = 256 * 256;  // the demo's textures; larger stay luminance
uint8_t expanded[kMaxExpandedTexels * 4];

// The client's luminance bytes, read as the unpack state says, as (L, L, L, 255) rows.
void expand_luminance(GLsizei width, GLsizei height, const uint8_t* pixels) {
    const Unpack& u = state.unpack;
    const long row_texels = u.row_length > 0 ? u.row_length : width;
    const long align = u.alignment > 0 ? u.alignment : 1;
    const long row_bytes = (row_texels + align - 1) / align * align;
    for (GLsizei y = 0; y < height; ++y) {
        const uint8_t* row = pixels + (y + u.skip_rows) * row_bytes + u.skip_pixels;
        uint8_t* out = expanded + long(y) * width * 4;
        for (GLsizei x = 0; x < width; ++x) {
            out[4 * x] = out[4 * x + 1] = out[4 * x + 2] = row[x];
            out[4 * x + 3] = 255;
        }
    }
}

// The expanded rows are tight: the client's unpack state must not apply to them.
void upload_expanded(GLenum target, GLint level, GLsizei width, GLsizei height, GLint border) {
    const Unpack& u = state.unpack;
    es.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    es.PixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    es.PixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    es.PixelStorei(GL_UNPACK_ALIGNMENT, 4);
    es.TexImage2D(target, level, GL_RGBA, width, height, border, GL_RGBA, GL_UNSIGNED_BYTE, expanded);
    es.PixelStorei(GL_UNPACK_ROW_LENGTH, u.row_length);
    es.PixelStorei(GL_UNPACK_SKIP_ROWS, u.skip_rows);
    es.PixelStorei(GL_UNPACK_SKIP_PIXELS, u.skip_pixels);
    es.PixelStorei(GL_UNPACK_ALIGNMENT, u.alignment);
}

}  // namespace

void tex_image_2d(GLenum target, GLint level, GLsizei width, GLsizei height, GLint border, GLenum format,
                  GLenum type, const GLvoid* pixels) {
    flush_batch();
    Textures& t = state.textures;
    if (target == GL_TEXTURE_2D && level == 0 && t.bound < kTrackedTextures) t.has_image[t.bound] = true;
    if (format == GL_LUMINANCE && type == GL_UNSIGNED_BYTE && pixels != nullptr && width > 0 && height > 0 &&
        long(width) * height <= kMaxExpandedTexels) {
        expand_luminance(width, height, static_cast<const uint8_t*>(pixels));
        upload_expanded(target, level, width, height, border);
        return;
    }
    // ES takes the unsized formats only with the internal format equal to the format; GL 1.1's
    // component counts (1 to 4) name the same ones. Luminance samples as (L, L, L, 1), so
    // modulation multiplies the colour by L and keeps its alpha, as in GL; so does the RGBA above.
    es.TexImage2D(target, level, GLint(format), width, height, border, format, type, pixels);
}

}  // namespace glfixed
