// The fixed-function layer's implementation: OpenGL 1.1 state, the per-vertex work of the fixed
// pipeline done on the CPU (modelview-projection, lighting with light 0 and colour material,
// object-linear texture generation, clamping), bitmaps from a glyph atlas, and one batch of
// triangles drawn with one shader pair whenever the GPU state it depends on is about to change.
// Main thread only, with the ES 3 context current. Static storage only.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/glfixed/tables.h"

namespace glfixed {
namespace {

// ---------------------------------------------------------------------------------------------
// Sizes. Every store is static; what does not fit is dropped, never overrun.

constexpr int kBatchVertices = 32768;           // the tube, the largest primitive, has 26,404
constexpr int kBatchIndices = kBatchVertices / 4 * 6;
constexpr int kModelviewDepth = 32;             // GL 1.1 guarantees at least 32
constexpr int kProjectionDepth = 2;             // and at least 2
constexpr int kClientAttribDepth = 16;
constexpr int kAttribDepth = 16;
constexpr GLuint kMaxLists = 4096;              // display-list names
constexpr int kMaxBitmaps = 4096;               // bitmaps held by all lists together
constexpr int kAtlasWidth = 2048;               // glyph atlas, one byte per bitmap bit
constexpr int kAtlasHeight = 1024;
constexpr int kMaxBitmapBytes = 256 * 256;      // one bitmap's bits as bytes, for the upload
constexpr GLenum kGlyphUnit = GL_TEXTURE1;      // the demo's textures stay on unit 0
constexpr GLuint kTrackedTextures = 4096;       // names whose completeness is known; others count as complete

// ---------------------------------------------------------------------------------------------
// Matrices: column-major 4 x 4, as GL stores them.

struct Mat4 {
    float m[16];
};

constexpr Mat4 kIdentity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

Mat4 multiply(const Mat4& a, const Mat4& b) {
    Mat4 p;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            p.m[c * 4 + r] = a.m[r] * b.m[c * 4] + a.m[4 + r] * b.m[c * 4 + 1] + a.m[8 + r] * b.m[c * 4 + 2] +
                             a.m[12 + r] * b.m[c * 4 + 3];
    return p;
}

// ---------------------------------------------------------------------------------------------
// State. Defaults are OpenGL's.

Es3 es;

struct Vec4 {
    float v[4];
};

Mat4 modelview_stack[kModelviewDepth] = {kIdentity};
Mat4 projection_stack[kProjectionDepth] = {kIdentity};
int modelview_top;
int projection_top;
GLenum matrix_mode = GL_MODELVIEW;

// Derived from the two matrices, refreshed when one changes.
bool derived_stale = true;
Mat4 model_view_projection;
float normal_matrix[9];  // inverse transpose of the modelview's upper 3 x 3, row-major

Vec4 current_colour = {{1, 1, 1, 1}};
float current_normal[3] = {0, 0, 1};
Vec4 current_texcoord = {{0, 0, 0, 1}};

bool lighting;
bool light0;
bool colour_material;
bool texturing;
// GL 1.1 textures nothing with a texture that has no image (or wants mipmaps it lacks), where ES
// would sample black: which names are complete, and the one bound.
bool texture_has_image[kTrackedTextures];
bool texture_filter_unmipmapped[kTrackedTextures];  // false: the default filter, which wants mipmaps
GLuint bound_texture;
bool generate_s;
bool generate_t;
bool blending;    // these two live in ES too; kept here for glPushAttrib
bool depth_test;
GLint gen_mode_s = GL_EYE_LINEAR;
GLint gen_mode_t = GL_EYE_LINEAR;
Vec4 plane_s = {{1, 0, 0, 0}};
Vec4 plane_t = {{0, 1, 0, 0}};

const Vec4 kGlobalAmbient = {{0.2f, 0.2f, 0.2f, 1.0f}};
// Colour material copies the current colour into both while it is on; they keep the last one
// when it goes off.
Vec4 material_ambient = {{0.2f, 0.2f, 0.2f, 1.0f}};
Vec4 material_diffuse = {{0.8f, 0.8f, 0.8f, 1.0f}};
Vec4 light0_ambient = {{0, 0, 0, 1}};
Vec4 light0_diffuse = {{1, 1, 1, 1}};
float light0_direction[3] = {0, 0, 1};  // unit vector towards the light, eye space

bool vertex_array;
bool normal_array;
const float* vertex_pointer;
GLsizei vertex_stride;  // bytes
const float* normal_pointer;
GLsizei normal_stride;

GLint viewport[4] = {0, 0, 640, 480};

struct Raster {
    bool valid = true;
    float x = 0, y = 0, z = 0;  // window coordinates
    float clip_w = 1;
    Vec4 colour = {{1, 1, 1, 1}};
    Vec4 texcoord = {{0, 0, 0, 1}};
} raster;

// The switches glPushAttrib(GL_ENABLE_BIT) saves.
struct Enables {
    bool lighting, light0, colour_material, texturing, generate_s, generate_t, blending, depth_test;
};
Enables attrib_stack[kAttribDepth];
GLbitfield attrib_stack_mask[kAttribDepth];
int attrib_top;

// Client pixel-store state that bitmaps are read with.
struct Unpack {
    GLint alignment = 4;
    GLint row_length = 0;
    GLint skip_rows = 0;
    GLint skip_pixels = 0;
    bool lsb_first = false;
};
Unpack unpack;
Unpack client_stack[kClientAttribDepth];
GLbitfield client_stack_mask[kClientAttribDepth];
int client_top;

// ---------------------------------------------------------------------------------------------
// Display lists: each holds a run of bitmaps, placed in the glyph atlas when compiled.

struct Bitmap {
    int atlas_x, atlas_y;  // -1 when the bits did not fit the atlas: the bitmap only moves
    int width, height;
    float xorig, yorig, xmove, ymove;
};
struct List {
    int first_bitmap;
    int bitmap_count;
};

Bitmap bitmaps[kMaxBitmaps];
int bitmap_count;
List lists[kMaxLists];
GLuint next_list_name = 1;
GLuint list_base;
GLuint compiling;  // 0: not inside glNewList
GLenum compile_mode;
int compile_first;

int shelf_x, shelf_y, shelf_height;  // atlas packing: rows of bitmaps, left to right
uint8_t bitmap_bytes[kMaxBitmapBytes];

// ---------------------------------------------------------------------------------------------
// The batch: triangles with everything per vertex already worked out.

struct Vertex {
    float position[4];  // clip coordinates
    float colour[4];    // after lighting, clamped
    float texcoord[2];
    float glyph[2];     // texel of the glyph atlas for a bitmap fragment
};

Vertex batch[kBatchVertices];
GLuint batch_indices[kBatchIndices];
int batch_vertex_count;
int batch_index_count;

// The primitive between glBegin and glEnd.
bool inside_begin;

// The fragment shader made four ways: (bitmaps or primitives) x (textured or not). A shader that
// chose at run time would run slower on every fragment (llvmpipe by some 70 %).
GLuint programs[4];
GLuint program_in_use;
bool batch_bitmaps;  // what the batch holds: bitmaps, or primitives (never both)
GLuint vertex_buffer;
GLuint index_buffer;
GLuint glyph_atlas;

// ---------------------------------------------------------------------------------------------
// The shader pair: everything per vertex arrives finished; the fragment stage modulates with the
// texture and, for bitmap fragments, keeps the raster position's colour and texture coordinates
// (flat) and drops the fragments of the bitmap's zero bits.

const char* const kVersion = "#version 300 es\n";

const char* const kVertexShader = R"(
layout(location = 0) in vec4 position;
layout(location = 1) in vec4 colour;
layout(location = 2) in vec2 texcoord;
layout(location = 3) in vec2 glyph;  // bitmaps only
out vec4 smooth_colour;
out vec2 smooth_texcoord;
flat out vec4 raster_colour;
flat out vec2 raster_texcoord;
out vec2 glyph_texel;
void main() {
    gl_Position = position;
    smooth_colour = colour;
    raster_colour = colour;
    smooth_texcoord = texcoord;
    raster_texcoord = texcoord;
    glyph_texel = glyph;
}
)";

// Compiled with BITMAPS and TEXTURED defined to 0 or 1.
const char* const kFragmentShader = R"(
precision highp float;
uniform sampler2D picture_texture;
uniform sampler2D glyph_atlas;
in vec4 smooth_colour;
in vec2 smooth_texcoord;
flat in vec4 raster_colour;
flat in vec2 raster_texcoord;
in vec2 glyph_texel;
out vec4 fragment;
void main() {
#if BITMAPS
    if (texelFetch(glyph_atlas, ivec2(glyph_texel), 0).r < 0.5) discard;
#if TEXTURED
    // Constant coordinates have no footprint: GL takes the magnification filter, as level 0 does.
    fragment = raster_colour * textureLod(picture_texture, raster_texcoord, 0.0);
#else
    fragment = raster_colour;
#endif
#elif TEXTURED
    fragment = smooth_colour * texture(picture_texture, smooth_texcoord);
#else
    fragment = smooth_colour;
#endif
}
)";

bool compile(GLuint shader, const char* defines, const char* source, const char* what) {
    const char* const parts[] = {kVersion, defines, source};
    es.ShaderSource(shader, 3, parts, nullptr);
    es.CompileShader(shader);
    GLint ok = GL_FALSE;
    es.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE) return true;
    static char log[1024];
    es.GetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "demo: the layer's %s shader does not compile: %s\n", what, log);
    return false;
}

// ---------------------------------------------------------------------------------------------
// The batch and the GPU.

// Only level 0 is ever uploaded (no mipmaps are built), so a texture is complete when it has that
// image and a filter that wants no more.
bool bound_texture_complete() {
    if (bound_texture >= kTrackedTextures) return true;
    return texture_has_image[bound_texture] && texture_filter_unmipmapped[bound_texture];
}

void flush_batch() {
    if (batch_index_count > 0) {
        // Everything this depends on flushes before it changes.
        const GLuint program = programs[(batch_bitmaps ? 2 : 0) + (texturing && bound_texture_complete() ? 1 : 0)];
        if (program != program_in_use) es.UseProgram(program);
        program_in_use = program;
        es.BufferData(GL_ARRAY_BUFFER, GLsizeiptr(batch_vertex_count * sizeof(Vertex)), batch, GL_STREAM_DRAW);
        es.BufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(batch_index_count * sizeof(GLuint)), batch_indices,
                      GL_STREAM_DRAW);
        es.DrawElements(GL_TRIANGLES, batch_index_count, GL_UNSIGNED_INT, nullptr);
    }
    batch_vertex_count = 0;
    batch_index_count = 0;
}


// Polygons are assembled in the batch as their vertices arrive: a quad becomes two triangles
// when its fourth vertex is in. The incomplete polygon moves along when the batch fills up.
int polygon_size;   // 3 or 4; 0: vertices are dropped (a primitive the layer does not draw)
int polygon_first;  // first vertex of the incomplete polygon

// A batch holds bitmaps or primitives, never both, so the fragment stage does the work of only
// one of them (llvmpipe and SwiftShader run both sides of a branch that varies per fragment).
void begin_polygons(int size, bool bitmaps) {
    if (bitmaps != batch_bitmaps) {
        flush_batch();
        batch_bitmaps = bitmaps;
    }
    polygon_size = size;
    polygon_first = batch_vertex_count;
}

Vertex& next_vertex() {
    if (batch_vertex_count == kBatchVertices) {
        const int carried = batch_vertex_count - polygon_first;
        flush_batch();
        std::memmove(batch, batch + polygon_first, size_t(carried) * sizeof(Vertex));
        batch_vertex_count = carried;
        polygon_first = 0;
    }
    return batch[batch_vertex_count++];
}

void vertex_done() {
    const int n = batch_vertex_count - polygon_first;
    if (n < polygon_size) return;
    const GLuint a = GLuint(polygon_first);
    GLuint* out = batch_indices + batch_index_count;
    if (polygon_size == 3) {
        out[0] = a, out[1] = a + 1, out[2] = a + 2;
        batch_index_count += 3;
    } else {
        // The split that Mesa's legacy pipeline makes (last vertex provoking): (0, 1, 3) and
        // (1, 2, 3). It decides which half of a self-crossing quad shows.
        out[0] = a, out[1] = a + 1, out[2] = a + 3;
        out[3] = a + 1, out[4] = a + 2, out[5] = a + 3;
        batch_index_count += 6;
    }
    polygon_first = batch_vertex_count;
}

int polygon_size_of(GLenum mode) {
    if (mode == GL_QUADS) return 4;
    if (mode == GL_TRIANGLES) return 3;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Per-vertex work of the fixed pipeline.

Mat4& modelview() { return modelview_stack[modelview_top]; }
Mat4& projection() { return projection_stack[projection_top]; }
Mat4& current_matrix() { return matrix_mode == GL_PROJECTION ? projection() : modelview(); }

void refresh_derived() {
    if (!derived_stale) return;
    derived_stale = false;
    model_view_projection = multiply(projection(), modelview());
    // Normals go through the inverse transpose of the upper 3 x 3; without normalisation their
    // length is kept, which the lighting of the tube's large quads depends on.
    const float* m = modelview().m;
    const float a = m[0], b = m[4], c = m[8];  // row 0
    const float d = m[1], e = m[5], f = m[9];  // row 1
    const float g = m[2], h = m[6], i = m[10];  // row 2
    const float co_a = e * i - f * h, co_b = f * g - d * i, co_c = d * h - e * g;
    const float det = a * co_a + b * co_b + c * co_c;
    const float inv = det != 0.0f ? 1.0f / det : 0.0f;
    // Inverse transpose = cofactor matrix / det.
    normal_matrix[0] = co_a * inv, normal_matrix[1] = co_b * inv, normal_matrix[2] = co_c * inv;
    normal_matrix[3] = (c * h - b * i) * inv, normal_matrix[4] = (a * i - c * g) * inv,
    normal_matrix[5] = (b * g - a * h) * inv;
    normal_matrix[6] = (b * f - c * e) * inv, normal_matrix[7] = (c * d - a * f) * inv,
    normal_matrix[8] = (a * e - b * d) * inv;
}

void matrix_changed() {
    derived_stale = true;
}

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// Object coordinates (x, y, z, 1) and a normal to clip coordinates, colour and texture
// coordinates, as GL 1.1's vertex stage makes them.
void shade(float x, float y, float z, const float* normal, float* position, float* colour, Vec4& texcoord) {
    refresh_derived();
    const float* p = model_view_projection.m;
    for (int r = 0; r < 4; ++r) position[r] = p[r] * x + p[4 + r] * y + p[8 + r] * z + p[12 + r];
    // A vertex on the near plane is inside the view volume in GL; after another implementation's
    // rounding (or a depth-range remap to 0..w) it may land just outside and a fade quad there
    // would vanish. Move such vertices a hair inside.
    const float w = position[3];
    if (w > 0.0f && std::fabs(position[2] + w) <= w * 1e-5f) position[2] = -w + w * (1.0f / 1048576.0f);

    const Vec4& c = current_colour;
    if (lighting) {
        const Vec4& ambient = colour_material ? c : material_ambient;
        const Vec4& diffuse = colour_material ? c : material_diffuse;
        float lit[3];
        for (int k = 0; k < 3; ++k) lit[k] = ambient.v[k] * kGlobalAmbient.v[k];
        if (light0) {
            const float* n = normal_matrix;
            const float ex = n[0] * normal[0] + n[1] * normal[1] + n[2] * normal[2];
            const float ey = n[3] * normal[0] + n[4] * normal[1] + n[5] * normal[2];
            const float ez = n[6] * normal[0] + n[7] * normal[1] + n[8] * normal[2];
            float facing = ex * light0_direction[0] + ey * light0_direction[1] + ez * light0_direction[2];
            if (facing < 0.0f) facing = 0.0f;
            for (int k = 0; k < 3; ++k)
                lit[k] += ambient.v[k] * light0_ambient.v[k] + facing * diffuse.v[k] * light0_diffuse.v[k];
        }
        for (int k = 0; k < 3; ++k) colour[k] = clamp01(lit[k]);
        colour[3] = clamp01(diffuse.v[3]);  // alpha is the diffuse material's, untouched by light
    } else {
        for (int k = 0; k < 4; ++k) colour[k] = clamp01(c.v[k]);
    }

    texcoord = current_texcoord;
    if (generate_s && gen_mode_s == GL_OBJECT_LINEAR)
        texcoord.v[0] = plane_s.v[0] * x + plane_s.v[1] * y + plane_s.v[2] * z + plane_s.v[3];
    if (generate_t && gen_mode_t == GL_OBJECT_LINEAR)
        texcoord.v[1] = plane_t.v[0] * x + plane_t.v[1] * y + plane_t.v[2] * z + plane_t.v[3];
}

void add_vertex(float x, float y, float z, const float* normal) {
    if (polygon_size == 0) return;
    Vertex& out = next_vertex();
    Vec4 texcoord;
    shade(x, y, z, normal, out.position, out.colour, texcoord);
    const float q = texcoord.v[3] != 0.0f ? texcoord.v[3] : 1.0f;
    out.texcoord[0] = texcoord.v[0] / q;
    out.texcoord[1] = texcoord.v[1] / q;
    out.glyph[0] = out.glyph[1] = 0.0f;  // read for bitmaps only
    vertex_done();
}

// ---------------------------------------------------------------------------------------------
// Bitmaps.

// Reads the client's bitmap (as the unpack state says) into bytes 0/255, rows bottom-up.
void unpack_bits(GLsizei width, GLsizei height, const GLubyte* bits) {
    const int row_bits = unpack.row_length > 0 ? unpack.row_length : width;
    const int align = unpack.alignment > 0 ? unpack.alignment : 1;
    const int row_bytes = ((row_bits + 7) / 8 + align - 1) / align * align;
    for (int y = 0; y < height; ++y) {
        const GLubyte* row = bits + long(y + unpack.skip_rows) * row_bytes;
        for (int x = 0; x < width; ++x) {
            const int bit = x + unpack.skip_pixels;
            const int byte = row[bit / 8];
            const int mask = unpack.lsb_first ? 1 << (bit % 8) : 0x80 >> (bit % 8);
            bitmap_bytes[y * width + x] = (byte & mask) != 0 ? 255 : 0;
        }
    }
}

// A place in the atlas for a width x height bitmap, or false when it is full.
bool place_in_atlas(int width, int height, int& x, int& y) {
    if (width > kAtlasWidth) return false;
    if (shelf_x + width > kAtlasWidth) {
        shelf_y += shelf_height + 1;
        shelf_x = 0;
        shelf_height = 0;
    }
    if (shelf_y + height > kAtlasHeight) return false;
    x = shelf_x;
    y = shelf_y;
    shelf_x += width + 1;
    if (height > shelf_height) shelf_height = height;
    return true;
}

void upload_bitmap(Bitmap& b, const GLubyte* bits) {
    b.atlas_x = b.atlas_y = -1;
    if (b.width <= 0 || b.height <= 0 || bits == nullptr || b.width * b.height > kMaxBitmapBytes) return;
    if (!place_in_atlas(b.width, b.height, b.atlas_x, b.atlas_y)) {
        b.atlas_x = b.atlas_y = -1;
        return;
    }
    unpack_bits(b.width, b.height, bits);
    es.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    es.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    es.PixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    es.PixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    es.ActiveTexture(kGlyphUnit);
    es.TexSubImage2D(GL_TEXTURE_2D, 0, b.atlas_x, b.atlas_y, b.width, b.height, GL_RED, GL_UNSIGNED_BYTE,
                     bitmap_bytes);
    es.ActiveTexture(GL_TEXTURE0);
    es.PixelStorei(GL_UNPACK_ALIGNMENT, unpack.alignment);
    es.PixelStorei(GL_UNPACK_ROW_LENGTH, unpack.row_length);
    es.PixelStorei(GL_UNPACK_SKIP_ROWS, unpack.skip_rows);
    es.PixelStorei(GL_UNPACK_SKIP_PIXELS, unpack.skip_pixels);
}

// Window coordinates to clip coordinates with w = 1.
float window_to_ndc_x(float x) { return (x - float(viewport[0])) * 2.0f / float(viewport[2]) - 1.0f; }
float window_to_ndc_y(float y) { return (y - float(viewport[1])) * 2.0f / float(viewport[3]) - 1.0f; }

// A bitmap at the raster position: one fragment per set bit, all with the raster position's
// colour, texture coordinates and depth; then the raster position moves on.
void draw_bitmap(const Bitmap& b) {
    if (!raster.valid) return;
    if (b.atlas_x >= 0) {
        const float x0 = std::floor(raster.x - b.xorig);
        const float y0 = std::floor(raster.y - b.yorig);
        const float corners[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
        const float z = raster.z * 2.0f - 1.0f;
        const float q = raster.texcoord.v[3] != 0.0f ? raster.texcoord.v[3] : 1.0f;
        begin_polygons(4, true);
        for (const auto& corner : corners) {
            Vertex& out = next_vertex();
            const float dx = corner[0] * float(b.width), dy = corner[1] * float(b.height);
            out.position[0] = window_to_ndc_x(x0 + dx);
            out.position[1] = window_to_ndc_y(y0 + dy);
            out.position[2] = z;
            out.position[3] = 1.0f;
            for (int k = 0; k < 4; ++k) out.colour[k] = raster.colour.v[k];
            out.texcoord[0] = raster.texcoord.v[0] / q;
            out.texcoord[1] = raster.texcoord.v[1] / q;
            out.glyph[0] = float(b.atlas_x) + dx;
            out.glyph[1] = float(b.atlas_y) + dy;
            vertex_done();
        }
        polygon_size = 0;
    }
    raster.x += b.xmove;
    raster.y += b.ymove;
}

// Inside glNewList(GL_COMPILE) a call that GL would compile into the list is left out: a list
// holds its bitmaps only. (Glyph lists may hold state changes around the bitmap, which change
// nothing for a bitmap here: it takes the raster position's colour and coordinates.)
bool compiling_only() { return compiling != 0 && compile_mode == GL_COMPILE; }

void call_list(GLuint name) {
    if (name == 0 || name >= kMaxLists) return;
    const List& list = lists[name];
    for (int i = 0; i < list.bitmap_count; ++i) draw_bitmap(bitmaps[list.first_bitmap + i]);
}

// ---------------------------------------------------------------------------------------------
// The GL 1.1 entry points, as the layer runs them.

namespace entry {

void GLAPIENTRY glBegin(GLenum mode) {
    if (compiling_only()) return;
    inside_begin = true;
    begin_polygons(polygon_size_of(mode), false);
}

void GLAPIENTRY glEnd() {
    if (compiling_only()) return;
    // An incomplete last polygon is dropped, as GL drops it.
    batch_vertex_count = polygon_first;
    polygon_size = 0;
    inside_begin = false;
}

void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (compiling_only()) return;
    if (inside_begin) add_vertex(x, y, z, current_normal);
}

void GLAPIENTRY glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    if (compiling_only()) return;
    current_normal[0] = x, current_normal[1] = y, current_normal[2] = z;
}

void GLAPIENTRY glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    if (compiling_only()) return;
    current_colour = {{r, g, b, a}};
}

void GLAPIENTRY glTexCoord2f(GLfloat s, GLfloat t) {
    if (compiling_only()) return;
    current_texcoord = {{s, t, 0.0f, 1.0f}};
}

void GLAPIENTRY glTexCoord4fv(const GLfloat* v) {
    if (compiling_only()) return;
    current_texcoord = {{v[0], v[1], v[2], v[3]}};
}

void set_capability(GLenum cap, bool on) {
    switch (cap) {
        case GL_LIGHTING: lighting = on; break;
        case GL_LIGHT0: light0 = on; break;
        case GL_COLOR_MATERIAL:
            // Leaving colour material keeps the colour it last tracked as the material.
            if (colour_material && !on) material_ambient = material_diffuse = current_colour;
            colour_material = on;
            break;
        case GL_TEXTURE_GEN_S: generate_s = on; break;
        case GL_TEXTURE_GEN_T: generate_t = on; break;
        case GL_TEXTURE_2D:
            if (texturing != on) flush_batch();
            texturing = on;
            break;
        case GL_BLEND:
        case GL_DEPTH_TEST:
            (cap == GL_BLEND ? blending : depth_test) = on;
            [[fallthrough]];
        case GL_CULL_FACE:
        case GL_SCISSOR_TEST:
        case GL_DITHER:
            flush_batch();
            if (on) es.Enable(cap);
            else es.Disable(cap);
            break;
        default: break;  // not part of this layer (GL_NORMALIZE and friends are never asked for)
    }
}

void GLAPIENTRY glEnable(GLenum cap) {
    if (!compiling_only()) set_capability(cap, true);
}
void GLAPIENTRY glDisable(GLenum cap) {
    if (!compiling_only()) set_capability(cap, false);
}

// Only the enable switches are kept (GL_ENABLE_BIT); other groups are not part of this layer.
void GLAPIENTRY glPushAttrib(GLbitfield mask) {
    if (compiling_only() || attrib_top == kAttribDepth) return;
    attrib_stack[attrib_top] = {lighting, light0, colour_material, texturing, generate_s, generate_t, blending, depth_test};
    attrib_stack_mask[attrib_top] = mask;
    ++attrib_top;
}

void GLAPIENTRY glPopAttrib() {
    if (compiling_only() || attrib_top == 0) return;
    --attrib_top;
    if ((attrib_stack_mask[attrib_top] & GL_ENABLE_BIT) == 0) return;
    const Enables& e = attrib_stack[attrib_top];
    set_capability(GL_LIGHTING, e.lighting);
    set_capability(GL_LIGHT0, e.light0);
    set_capability(GL_COLOR_MATERIAL, e.colour_material);
    set_capability(GL_TEXTURE_2D, e.texturing);
    set_capability(GL_TEXTURE_GEN_S, e.generate_s);
    set_capability(GL_TEXTURE_GEN_T, e.generate_t);
    set_capability(GL_BLEND, e.blending);
    set_capability(GL_DEPTH_TEST, e.depth_test);
}

void GLAPIENTRY glEnableClientState(GLenum array) {
    if (array == GL_VERTEX_ARRAY) vertex_array = true;
    if (array == GL_NORMAL_ARRAY) normal_array = true;
}

void GLAPIENTRY glDisableClientState(GLenum array) {
    if (array == GL_VERTEX_ARRAY) vertex_array = false;
    if (array == GL_NORMAL_ARRAY) normal_array = false;
}

void GLAPIENTRY glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    // Three floats per vertex is what the layer reads; anything else draws nothing.
    const bool usable = size == 3 && type == GL_FLOAT;
    vertex_pointer = usable ? static_cast<const float*>(pointer) : nullptr;
    vertex_stride = stride != 0 ? stride : GLsizei(3 * sizeof(float));
}

void GLAPIENTRY glNormalPointer(GLenum type, GLsizei stride, const GLvoid* pointer) {
    normal_pointer = type == GL_FLOAT ? static_cast<const float*>(pointer) : nullptr;
    normal_stride = stride != 0 ? stride : GLsizei(3 * sizeof(float));
}

void GLAPIENTRY glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    if (compiling_only()) return;
    if (inside_begin || !vertex_array || vertex_pointer == nullptr || first < 0 || count <= 0) return;
    const auto* vertices = reinterpret_cast<const char*>(vertex_pointer);
    const auto* normals = reinterpret_cast<const char*>(normal_pointer);
    const bool per_vertex_normal = normal_array && normal_pointer != nullptr;
    begin_polygons(polygon_size_of(mode), false);
    for (GLsizei i = first; i < first + count; ++i) {
        const auto* v = reinterpret_cast<const float*>(vertices + long(i) * vertex_stride);
        const float* n = per_vertex_normal ? reinterpret_cast<const float*>(normals + long(i) * normal_stride)
                                           : current_normal;
        add_vertex(v[0], v[1], v[2], n);
    }
    batch_vertex_count = polygon_first;
    polygon_size = 0;
}

void GLAPIENTRY glMatrixMode(GLenum mode) {
    if (compiling_only()) return;
    matrix_mode = mode == GL_PROJECTION ? GL_PROJECTION : GL_MODELVIEW;
}

void GLAPIENTRY glLoadIdentity() {
    if (compiling_only()) return;
    current_matrix() = kIdentity;
    matrix_changed();
}

void GLAPIENTRY glPushMatrix() {
    if (compiling_only()) return;
    if (matrix_mode == GL_PROJECTION) {
        if (projection_top + 1 < kProjectionDepth) projection_stack[projection_top + 1] = projection(), ++projection_top;
    } else if (modelview_top + 1 < kModelviewDepth) {
        modelview_stack[modelview_top + 1] = modelview();
        ++modelview_top;
    }
}

void GLAPIENTRY glPopMatrix() {
    if (compiling_only()) return;
    if (matrix_mode == GL_PROJECTION) {
        if (projection_top > 0) --projection_top;
    } else if (modelview_top > 0) {
        --modelview_top;
    }
    matrix_changed();
}

void GLAPIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    if (compiling_only()) return;
    float* m = current_matrix().m;
    for (int r = 0; r < 4; ++r) m[12 + r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
    matrix_changed();
}

void GLAPIENTRY glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    if (compiling_only()) return;
    const double radians = double(angle) * 3.14159265358979323846 / 180.0;
    const float s = float(std::sin(radians));
    const float c = float(std::cos(radians));
    Mat4 r = kIdentity;
    float* m = r.m;
    // Rotations about a coordinate axis come out exact; other axes are normalised first.
    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        m[0] = c, m[5] = c;
        m[4] = z < 0.0f ? s : -s;
        m[1] = -m[4];
    } else if (x == 0.0f && z == 0.0f && y != 0.0f) {
        m[0] = c, m[10] = c;
        m[8] = y < 0.0f ? -s : s;
        m[2] = -m[8];
    } else if (y == 0.0f && z == 0.0f && x != 0.0f) {
        m[5] = c, m[10] = c;
        m[9] = x < 0.0f ? s : -s;
        m[6] = -m[9];
    } else {
        const float length = std::sqrt(x * x + y * y + z * z);
        if (length <= 1.0e-4f) return;
        x /= length, y /= length, z /= length;
        const float one_c = 1.0f - c;
        m[0] = one_c * x * x + c, m[4] = one_c * x * y - z * s, m[8] = one_c * z * x + y * s;
        m[1] = one_c * x * y + z * s, m[5] = one_c * y * y + c, m[9] = one_c * y * z - x * s;
        m[2] = one_c * z * x - y * s, m[6] = one_c * y * z + x * s, m[10] = one_c * z * z + c;
    }
    current_matrix() = multiply(current_matrix(), r);
    matrix_changed();
}

void GLAPIENTRY gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far) {
    if (compiling_only()) return;
    // Worked out in double and stored in single precision, as glMultMatrixd does.
    const double half = fovy / 2.0 * 3.14159265358979323846 / 180.0;
    const double depth = z_far - z_near;
    const double sine = std::sin(half);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) return;
    const double cotangent = std::cos(half) / sine;
    Mat4 p = {};
    p.m[0] = float(cotangent / aspect);
    p.m[5] = float(cotangent);
    p.m[10] = float(-(z_far + z_near) / depth);
    p.m[11] = -1.0f;
    p.m[14] = float(-2.0 * z_near * z_far / depth);
    current_matrix() = multiply(current_matrix(), p);
    matrix_changed();
}

void GLAPIENTRY glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (compiling_only()) return;
    if (light != GL_LIGHT0) return;
    if (pname == GL_DIFFUSE) light0_diffuse = {{params[0], params[1], params[2], params[3]}};
    if (pname == GL_AMBIENT) light0_ambient = {{params[0], params[1], params[2], params[3]}};
    if (pname == GL_POSITION) {
        // Directional lights only (w = 0): the direction in eye space at the time of the call.
        const float* m = modelview().m;
        float d[3];
        for (int r = 0; r < 3; ++r) d[r] = m[r] * params[0] + m[4 + r] * params[1] + m[8 + r] * params[2];
        const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (length > 0.0f)
            for (int r = 0; r < 3; ++r) light0_direction[r] = d[r] / length;
    }
}

void GLAPIENTRY glTexGeni(GLenum coord, GLenum pname, GLint param) {
    if (compiling_only()) return;
    if (pname != GL_TEXTURE_GEN_MODE) return;
    if (coord == GL_S) gen_mode_s = param;
    if (coord == GL_T) gen_mode_t = param;
}

void GLAPIENTRY glTexGenfv(GLenum coord, GLenum pname, const GLfloat* params) {
    if (compiling_only()) return;
    if (pname != GL_OBJECT_PLANE) return;
    const Vec4 plane = {{params[0], params[1], params[2], params[3]}};
    if (coord == GL_S) plane_s = plane;
    if (coord == GL_T) plane_t = plane;
}

void GLAPIENTRY glBindTexture(GLenum target, GLuint texture) {
    if (compiling_only()) return;
    flush_batch();
    if (target == GL_TEXTURE_2D) bound_texture = texture;
    es.BindTexture(target, texture);
}

void GLAPIENTRY glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const GLvoid* pixels) {
    if (compiling_only()) return;
    flush_batch();
    // ES takes the unsized formats only with the internal format equal to the format; GL 1.1's
    // component counts (1 to 4) name the same ones. Luminance samples as (L, L, L, 1), so
    // modulation multiplies the colour by L and keeps its alpha, as in GL.
    (void)internal_format;
    if (target == GL_TEXTURE_2D && level == 0 && bound_texture < kTrackedTextures) texture_has_image[bound_texture] = true;
    es.TexImage2D(target, level, GLint(format), width, height, border, format, type, pixels);
}

void GLAPIENTRY glTexParameteri(GLenum target, GLenum pname, GLint param) {
    if (compiling_only()) return;
    flush_batch();
    if (target == GL_TEXTURE_2D && pname == GL_TEXTURE_MIN_FILTER && bound_texture < kTrackedTextures)
        texture_filter_unmipmapped[bound_texture] = param == GL_NEAREST || param == GL_LINEAR;
    es.TexParameteri(target, pname, param);
}

void GLAPIENTRY glBlendFunc(GLenum sfactor, GLenum dfactor) {
    if (compiling_only()) return;
    flush_batch();
    es.BlendFunc(sfactor, dfactor);
}

void GLAPIENTRY glClear(GLbitfield mask) {
    if (compiling_only()) return;
    flush_batch();
    es.Clear(mask);
}

void GLAPIENTRY glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (compiling_only()) return;
    flush_batch();
    viewport[0] = x, viewport[1] = y, viewport[2] = width, viewport[3] = height;
    es.Viewport(x, y, width, height);
}

GLuint GLAPIENTRY glGenLists(GLsizei range) {
    if (range <= 0 || GLuint(range) > kMaxLists - next_list_name) return 0;
    const GLuint first = next_list_name;
    next_list_name += GLuint(range);
    return first;
}

void GLAPIENTRY glNewList(GLuint list, GLenum mode) {
    if (compiling != 0 || list == 0 || list >= kMaxLists) return;
    compiling = list;
    compile_mode = mode;
    compile_first = bitmap_count;
}

void GLAPIENTRY glEndList() {
    if (compiling == 0) return;
    lists[compiling] = {compile_first, bitmap_count - compile_first};
    compiling = 0;
}

void GLAPIENTRY glBitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
                         const GLubyte* bits) {
    // Bitmaps live in display lists only (their bits go to the atlas once, when compiled).
    if (compiling == 0 || bitmap_count == kMaxBitmaps) return;
    Bitmap& b = bitmaps[bitmap_count++];
    b = {-1, -1, width, height, xorig, yorig, xmove, ymove};
    upload_bitmap(b, bits);
    if (compile_mode == GL_COMPILE_AND_EXECUTE) draw_bitmap(b);
}

void GLAPIENTRY glListBase(GLuint base) {
    if (compiling_only()) return;
    list_base = base;
}

void GLAPIENTRY glCallList(GLuint list) {
    if (compiling_only()) return;
    call_list(list);
}

void GLAPIENTRY glCallLists(GLsizei n, GLenum type, const GLvoid* names) {
    if (compiling_only()) return;
    for (GLsizei i = 0; i < n; ++i) {
        GLuint offset = 0;
        switch (type) {
            case GL_UNSIGNED_BYTE: offset = static_cast<const GLubyte*>(names)[i]; break;
            case GL_BYTE: offset = GLuint(static_cast<const GLbyte*>(names)[i]); break;
            case GL_UNSIGNED_SHORT: offset = static_cast<const GLushort*>(names)[i]; break;
            case GL_SHORT: offset = GLuint(static_cast<const GLshort*>(names)[i]); break;
            case GL_UNSIGNED_INT: offset = static_cast<const GLuint*>(names)[i]; break;
            case GL_INT: offset = GLuint(static_cast<const GLint*>(names)[i]); break;
            default: return;
        }
        call_list(list_base + offset);
    }
}

void GLAPIENTRY glRasterPos2f(GLfloat x, GLfloat y) {
    if (compiling_only()) return;
    float clip[4];
    shade(x, y, 0.0f, current_normal, clip, raster.colour.v, raster.texcoord);
    const float w = clip[3];
    // Transformed and clipped as a vertex: outside the view volume the position is invalid and
    // every bitmap drawn from it is dropped whole.
    raster.valid = w > 0.0f && -w <= clip[0] && clip[0] <= w && -w <= clip[1] && clip[1] <= w && -w <= clip[2] &&
                   clip[2] <= w;
    if (!raster.valid) return;
    raster.x = (clip[0] / w + 1.0f) * 0.5f * float(viewport[2]) + float(viewport[0]);
    raster.y = (clip[1] / w + 1.0f) * 0.5f * float(viewport[3]) + float(viewport[1]);
    raster.z = (clip[2] / w + 1.0f) * 0.5f;
    raster.clip_w = w;
}

void copy4(GLfloat* out, const float* in) { std::memcpy(out, in, 4 * sizeof(float)); }

void GLAPIENTRY glGetFloatv(GLenum pname, GLfloat* params) {
    switch (pname) {
        case GL_CURRENT_RASTER_TEXTURE_COORDS: copy4(params, raster.texcoord.v); return;
        case GL_CURRENT_RASTER_COLOR: copy4(params, raster.colour.v); return;
        case GL_CURRENT_RASTER_POSITION: {
            const float p[4] = {raster.x, raster.y, raster.z, raster.clip_w};
            copy4(params, p);
            return;
        }
        case GL_CURRENT_RASTER_POSITION_VALID: params[0] = raster.valid ? 1.0f : 0.0f; return;
        case GL_CURRENT_COLOR: copy4(params, current_colour.v); return;
        case GL_CURRENT_TEXTURE_COORDS: copy4(params, current_texcoord.v); return;
        case GL_CURRENT_NORMAL: std::memcpy(params, current_normal, sizeof current_normal); return;
        case GL_MODELVIEW_MATRIX: std::memcpy(params, modelview().m, sizeof(Mat4)); return;
        case GL_PROJECTION_MATRIX: std::memcpy(params, projection().m, sizeof(Mat4)); return;
        default: es.GetFloatv(pname, params); return;
    }
}

void GLAPIENTRY glPixelStorei(GLenum pname, GLint param) {
    switch (pname) {
        case GL_UNPACK_ALIGNMENT: unpack.alignment = param; break;
        case GL_UNPACK_ROW_LENGTH: unpack.row_length = param; break;
        case GL_UNPACK_SKIP_ROWS: unpack.skip_rows = param; break;
        case GL_UNPACK_SKIP_PIXELS: unpack.skip_pixels = param; break;
        case GL_UNPACK_LSB_FIRST: unpack.lsb_first = param != 0; return;  // bitmaps only; no ES name
        case GL_UNPACK_SWAP_BYTES:
        case GL_PACK_LSB_FIRST:
        case GL_PACK_SWAP_BYTES: return;  // no meaning for bytes and bits; no ES name either
        default: break;
    }
    es.PixelStorei(pname, param);
}

void GLAPIENTRY glPushClientAttrib(GLbitfield mask) {
    if (client_top == kClientAttribDepth) return;
    client_stack[client_top] = unpack;
    client_stack_mask[client_top] = mask;
    ++client_top;
}

void GLAPIENTRY glPopClientAttrib() {
    if (client_top == 0) return;
    --client_top;
    if ((client_stack_mask[client_top] & GL_CLIENT_PIXEL_STORE_BIT) == 0) return;
    unpack = client_stack[client_top];
    es.PixelStorei(GL_UNPACK_ALIGNMENT, unpack.alignment);
    es.PixelStorei(GL_UNPACK_ROW_LENGTH, unpack.row_length);
    es.PixelStorei(GL_UNPACK_SKIP_ROWS, unpack.skip_rows);
    es.PixelStorei(GL_UNPACK_SKIP_PIXELS, unpack.skip_pixels);
}

void GLAPIENTRY glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                             GLvoid* pixels) {
    flush_batch();
    es.ReadPixels(x, y, width, height, format, type, pixels);
}

void GLAPIENTRY glFlush() {
    flush_batch();
    es.Flush();
}

void GLAPIENTRY glFinish() {
    flush_batch();
    es.Finish();
}

}  // namespace entry

const Gl11 kLayerEntries = {
#define GLFIXED_LAYER(result, name, params, args) &entry::name,
    GLFIXED_GL11_ENTRIES(GLFIXED_LAYER)
#undef GLFIXED_LAYER
};

}  // namespace

bool layer_start(const Es3& functions) {
    es = functions;
    const GLuint vertex_shader = es.CreateShader(GL_VERTEX_SHADER);
    if (!compile(vertex_shader, "", kVertexShader, "vertex")) return false;
    const char* const kinds[4] = {
        "#define BITMAPS 0\n#define TEXTURED 0\n", "#define BITMAPS 0\n#define TEXTURED 1\n",
        "#define BITMAPS 1\n#define TEXTURED 0\n", "#define BITMAPS 1\n#define TEXTURED 1\n"};
    for (int k = 0; k < 4; ++k) {
        const GLuint fragment_shader = es.CreateShader(GL_FRAGMENT_SHADER);
        if (!compile(fragment_shader, kinds[k], kFragmentShader, "fragment")) return false;
        const GLuint program = es.CreateProgram();
        es.AttachShader(program, vertex_shader);
        es.AttachShader(program, fragment_shader);
        es.LinkProgram(program);
        GLint linked = GL_FALSE;
        es.GetProgramiv(program, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE) {
            static char log[1024];
            es.GetProgramInfoLog(program, sizeof log, nullptr, log);
            std::fprintf(stderr, "demo: the layer's shaders do not link: %s\n", log);
            return false;
        }
        es.UseProgram(program);
        es.Uniform1i(es.GetUniformLocation(program, "picture_texture"), 0);
        es.Uniform1i(es.GetUniformLocation(program, "glyph_atlas"), 1);
        programs[k] = program;
    }
    program_in_use = programs[3];

    GLuint vertex_array_object = 0;
    es.GenVertexArrays(1, &vertex_array_object);
    es.BindVertexArray(vertex_array_object);
    es.GenBuffers(1, &vertex_buffer);
    es.GenBuffers(1, &index_buffer);
    es.BindBuffer(GL_ARRAY_BUFFER, vertex_buffer);
    es.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, index_buffer);
    const auto field = [](int floats) { return reinterpret_cast<const void*>(size_t(floats) * sizeof(float)); };
    es.VertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex), field(0));
    es.VertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex), field(4));
    es.VertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), field(8));
    es.VertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), field(10));
    for (GLuint a = 0; a < 4; ++a) es.EnableVertexAttribArray(a);

    // The glyph atlas on its own unit, sampled texel by texel.
    es.ActiveTexture(kGlyphUnit);
    es.GenTextures(1, &glyph_atlas);
    es.BindTexture(GL_TEXTURE_2D, glyph_atlas);
    es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    static uint8_t atlas_zeros[kAtlasWidth * kAtlasHeight];  // defined texels: no lazy-init warnings
    es.TexImage2D(GL_TEXTURE_2D, 0, GL_R8, kAtlasWidth, kAtlasHeight, 0, GL_RED, GL_UNSIGNED_BYTE, atlas_zeros);
    es.ActiveTexture(GL_TEXTURE0);

    es.GetIntegerv(GL_VIEWPORT, viewport);
    return es.GetError() == GL_NO_ERROR;
}

const Gl11& layer_entries() { return kLayerEntries; }

void layer_flush() { flush_batch(); }

}  // namespace glfixed
