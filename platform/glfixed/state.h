// Inside the fixed-function layer: the OpenGL 1.1 state it keeps, gathered in one record with a
// member per feature, and the functions its files share. Main thread only.
#pragma once

#include <cstdint>

#include "platform/glfixed/glfixed.h"
#include "platform/glfixed/tables.h"

namespace glfixed {

constexpr int kModelviewDepth = 32;   // GL 1.1 guarantees at least 32
constexpr int kProjectionDepth = 2;   // and at least 2
constexpr int kAttribDepth = 16;
constexpr GLuint kTrackedTextures = 4096;  // names whose completeness is known; others count as complete

// Column-major 4 x 4, as GL stores matrices.
struct Mat4 {
    float m[16];
};
constexpr Mat4 kIdentity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
Mat4 multiply(const Mat4& a, const Mat4& b);

struct Vec4 {
    float v[4];
};

// The switches glPushAttrib(GL_ENABLE_BIT) saves: written here once, copied whole by the stack.
struct Enables {
    bool lighting = false;
    bool light0 = false;
    bool colour_material = false;
    bool texturing = false;
    bool generate_s = false;
    bool generate_t = false;
    bool blending = false;    // also GPU state: changing it flushes
    bool depth_test = false;  // likewise
};

struct Matrices {
    Mat4 modelview[kModelviewDepth] = {kIdentity};
    Mat4 projection[kProjectionDepth] = {kIdentity};
    int modelview_top = 0;
    int projection_top = 0;
    GLenum mode = GL_MODELVIEW;
    // Derived from the two, refreshed when one changed.
    bool stale = true;
    Mat4 model_view_projection = kIdentity;
    float normal_matrix[9] = {};  // inverse transpose of the modelview's upper 3 x 3, row-major
};

struct Current {
    Vec4 colour = {{1, 1, 1, 1}};
    float normal[3] = {0, 0, 1};
    Vec4 texcoord = {{0, 0, 0, 1}};
};

struct Lighting {
    // Colour material copies the current colour into both while it is on; they keep the last
    // one when it goes off.
    Vec4 material_ambient = {{0.2f, 0.2f, 0.2f, 1.0f}};
    Vec4 material_diffuse = {{0.8f, 0.8f, 0.8f, 1.0f}};
    Vec4 light0_ambient = {{0, 0, 0, 1}};
    Vec4 light0_diffuse = {{1, 1, 1, 1}};
    float light0_direction[3] = {0, 0, 1};  // unit vector towards the light, eye space
};

struct TexGen {
    GLint mode_s = GL_EYE_LINEAR;
    GLint mode_t = GL_EYE_LINEAR;
    Vec4 plane_s = {{1, 0, 0, 0}};
    Vec4 plane_t = {{0, 1, 0, 0}};
};

// GL 1.1 textures nothing with a texture that has no image (or wants mipmaps it lacks), where ES
// would sample black: which names are complete, and the one bound.
struct Textures {
    bool has_image[kTrackedTextures] = {};
    bool unmipmapped[kTrackedTextures] = {};  // false: the default filter, which wants mipmaps
    GLuint bound = 0;
};

struct ClientArrays {
    bool vertex_on = false;
    bool normal_on = false;
    const float* vertices = nullptr;  // null: not three floats, nothing to draw
    GLsizei vertex_stride = 0;        // bytes
    const float* normals = nullptr;
    GLsizei normal_stride = 0;
};

struct Raster {
    bool valid = true;
    float x = 0, y = 0, z = 0;  // window coordinates
    float clip_w = 1;
    Vec4 colour = {{1, 1, 1, 1}};
    Vec4 texcoord = {{0, 0, 0, 1}};
};

// Client pixel-store state that bitmaps are read with.
struct Unpack {
    GLint alignment = 4;
    GLint row_length = 0;
    GLint skip_rows = 0;
    GLint skip_pixels = 0;
};

struct AttribStack {
    Enables saved[kAttribDepth];
    GLbitfield mask[kAttribDepth] = {};
    int top = 0;
};

// Everything of GL 1.1's state the layer keeps; defaults are OpenGL's.
struct State {
    Matrices matrices;
    Current current;
    Enables enables;
    Lighting lighting;
    TexGen texgen;
    Textures textures;
    ClientArrays arrays;
    GLint viewport[4] = {0, 0, 640, 480};
    Raster raster;
    Unpack unpack;
    AttribStack attribs;
};

extern State state;
extern Stats counters;
extern Es3 es;

// State and matrices (state.cpp).
Mat4& current_matrix();
Mat4& modelview();
Mat4& projection();
void matrix_changed();
void refresh_derived();
void rotate(float angle, float x, float y, float z);
void perspective(double fovy, double aspect, double z_near, double z_far);
void push_matrix();
void pop_matrix();
void set_capability(GLenum cap, bool on);
void push_attrib(GLbitfield mask);
void pop_attrib();

// The vertex stage (vertex_stage.cpp): object coordinates and a normal to clip coordinates,
// colour and texture coordinates, as GL 1.1's fixed pipeline makes them.
void shade(float x, float y, float z, const float* normal, float* position, float* colour, Vec4& texcoord);

// What the vertex stage's colour and texture coordinates come to for a whole draw whose vertices
// differ only in position and normal (vertex_stage.cpp), for the GPU arrays' vertex shader:
// colour = clamp(base + max(normal_matrix n . light_direction, 0) diffuse), alpha base[3];
// texture coordinates (plane_s . v, plane_t . v) with v = (x, y, z, 1), already divided by q.
struct ShadingTerms {
    float base[4];
    float diffuse[3];
    float plane_s[4];
    float plane_t[4];
};
ShadingTerms shading_terms();

// glTexImage2D (textures.cpp).
void tex_image_2d(GLenum target, GLint level, GLsizei width, GLsizei height, GLint border, GLenum format,
                  GLenum type, const GLvoid* pixels);

// Shader programs and the bindings the batch and the GPU arrays share (shaders.cpp).
GLuint build_program(const char* vertex_source, bool bitmaps, bool textured);  // 0: failed, said on stderr
void use_program(GLuint program);
void bind_vertex_array(GLuint vertex_array);
void bind_array_buffer(GLuint buffer);
bool bound_texture_complete();

// Client arrays kept in GPU buffers and drawn with a vertex shader (gpu_arrays.cpp).
bool gpu_arrays_start();
// Draws glDrawArrays from the GPU when the draw qualifies (the batch flushed first); false:
// nothing done, the CPU path draws it.
bool draw_arrays_on_gpu(GLenum mode, GLint first, GLsizei count);
void reset_gpu_arrays();

// The batch and its shaders (batch.cpp).
bool batch_start();
void flush_batch();
void begin_primitive(GLenum mode);
void end_primitive();
void add_vertex(float x, float y, float z, const float* normal);
bool inside_begin();
void draw_arrays(GLenum mode, GLint first, GLsizei count);
// A bitmap's rectangle in window coordinates with its atlas corner, drawn with the raster
// position's colour, texture coordinates and depth.
void add_bitmap_quad(float x0, float y0, float width, float height, int atlas_x, int atlas_y);
void reset_batch();

// Bitmaps, the glyph atlas, display lists and the raster position (bitmaps.cpp).
bool atlas_start();
bool compiling();
void new_list(GLuint list, GLenum mode);
void end_list();
GLuint gen_lists(GLsizei range);
void bitmap(GLsizei width, GLsizei height, float xorig, float yorig, float xmove, float ymove, const GLubyte* bits);
void list_base(GLuint base);
void call_list(GLuint name);
void call_lists(GLsizei n, GLenum type, const GLvoid* names);
// Inside glNewList: keeps the enable switches' calls for replay; false for any other call,
// which is then left out of the list (and counted).
bool record_in_list(int op, GLenum value);
void raster_pos(float x, float y);
void reset_lists();

// What record_in_list keeps.
enum ListOp : int { kListEnable, kListDisable, kListPushAttrib, kListPopAttrib, kListBegin, kListEnd };

}  // namespace glfixed
