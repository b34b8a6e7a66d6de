// The GL 1.1 entry points as the fixed-function layer runs them, each a few lines over the
// state record and the feature files, and the layer's start. Main thread only, with the ES 3
// context current.
#include <cmath>
#include <cstring>

#include "platform/glfixed/state.h"

namespace glfixed {
namespace {

// Inside glNewList a call is kept for replay when it is one of the enable switches, else left
// out of the list and counted; either way it does not run now.
bool listed(int op = -2, GLenum value = 0) {
    if (!compiling()) return false;
    if (op == -2) ++counters.calls_in_list;
    else record_in_list(op, value);
    return true;
}

void copy4(GLfloat* out, const float* in) { std::memcpy(out, in, 4 * sizeof(float)); }

namespace entry {

void GLAPIENTRY glBegin(GLenum mode) {
    if (!listed(kListBegin)) begin_primitive(mode);
}
void GLAPIENTRY glEnd() {
    if (!listed(kListEnd)) end_primitive();
}
void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (listed()) return;
    if (inside_begin()) add_vertex(x, y, z, state.current.normal);
    else ++counters.vertices_dropped;
}
void GLAPIENTRY glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    if (listed()) return;
    float* n = state.current.normal;
    n[0] = x, n[1] = y, n[2] = z;
}
void GLAPIENTRY glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    if (!listed()) state.current.colour = {{r, g, b, a}};
}
void GLAPIENTRY glTexCoord2f(GLfloat s, GLfloat t) {
    if (!listed()) state.current.texcoord = {{s, t, 0.0f, 1.0f}};
}
void GLAPIENTRY glTexCoord4fv(const GLfloat* v) {
    if (!listed()) state.current.texcoord = {{v[0], v[1], v[2], v[3]}};
}
void GLAPIENTRY glEnable(GLenum cap) {
    if (!listed(kListEnable, cap)) set_capability(cap, true);
}
void GLAPIENTRY glDisable(GLenum cap) {
    if (!listed(kListDisable, cap)) set_capability(cap, false);
}
void GLAPIENTRY glPushAttrib(GLbitfield mask) {
    if (!listed(kListPushAttrib, mask)) push_attrib(mask);
}
void GLAPIENTRY glPopAttrib() {
    if (!listed(kListPopAttrib)) pop_attrib();
}

void GLAPIENTRY glEnableClientState(GLenum array) {
    if (array == GL_VERTEX_ARRAY) state.arrays.vertex_on = true;
    if (array == GL_NORMAL_ARRAY) state.arrays.normal_on = true;
}
void GLAPIENTRY glDisableClientState(GLenum array) {
    if (array == GL_VERTEX_ARRAY) state.arrays.vertex_on = false;
    if (array == GL_NORMAL_ARRAY) state.arrays.normal_on = false;
}
void GLAPIENTRY glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    // Three floats per vertex is what the layer reads; anything else draws nothing.
    state.arrays.vertices = size == 3 && type == GL_FLOAT ? static_cast<const float*>(pointer) : nullptr;
    state.arrays.vertex_stride = stride != 0 ? stride : GLsizei(3 * sizeof(float));
}
void GLAPIENTRY glNormalPointer(GLenum type, GLsizei stride, const GLvoid* pointer) {
    state.arrays.normals = type == GL_FLOAT ? static_cast<const float*>(pointer) : nullptr;
    state.arrays.normal_stride = stride != 0 ? stride : GLsizei(3 * sizeof(float));
}
void GLAPIENTRY glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    if (!listed()) draw_arrays(mode, first, count);
}

void GLAPIENTRY glMatrixMode(GLenum mode) {
    if (!listed()) state.matrices.mode = mode == GL_PROJECTION ? GL_PROJECTION : GL_MODELVIEW;
}
void GLAPIENTRY glLoadIdentity() {
    if (listed()) return;
    current_matrix() = kIdentity;
    matrix_changed();
}
void GLAPIENTRY glPushMatrix() {
    if (!listed()) push_matrix();
}
void GLAPIENTRY glPopMatrix() {
    if (!listed()) pop_matrix();
}
void GLAPIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    if (listed()) return;
    float* m = current_matrix().m;
    for (int r = 0; r < 4; ++r) m[12 + r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
    matrix_changed();
}
void GLAPIENTRY glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    if (!listed()) rotate(angle, x, y, z);
}
void GLAPIENTRY gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far) {
    if (!listed()) perspective(fovy, aspect, z_near, z_far);
}

void GLAPIENTRY glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (listed() || light != GL_LIGHT0) return;
    Lighting& l = state.lighting;
    if (pname == GL_DIFFUSE) l.light0_diffuse = {{params[0], params[1], params[2], params[3]}};
    if (pname == GL_AMBIENT) l.light0_ambient = {{params[0], params[1], params[2], params[3]}};
    if (pname == GL_POSITION) {
        // Directional lights only (w = 0): the direction in eye space at the time of the call.
        const float* m = modelview().m;
        float d[3];
        for (int r = 0; r < 3; ++r) d[r] = m[r] * params[0] + m[4 + r] * params[1] + m[8 + r] * params[2];
        const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (length > 0.0f)
            for (int r = 0; r < 3; ++r) l.light0_direction[r] = d[r] / length;
    }
}
void GLAPIENTRY glTexGeni(GLenum coord, GLenum pname, GLint param) {
    if (listed() || pname != GL_TEXTURE_GEN_MODE) return;
    if (coord == GL_S) state.texgen.mode_s = param;
    if (coord == GL_T) state.texgen.mode_t = param;
}
void GLAPIENTRY glTexGenfv(GLenum coord, GLenum pname, const GLfloat* params) {
    if (listed() || pname != GL_OBJECT_PLANE) return;
    const Vec4 plane = {{params[0], params[1], params[2], params[3]}};
    if (coord == GL_S) state.texgen.plane_s = plane;
    if (coord == GL_T) state.texgen.plane_t = plane;
}

void GLAPIENTRY glBindTexture(GLenum target, GLuint texture) {
    if (listed()) return;
    flush_batch();
    if (target == GL_TEXTURE_2D) state.textures.bound = texture;
    es.BindTexture(target, texture);
}
void GLAPIENTRY glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const GLvoid* pixels) {
    (void)internal_format;  // taken from the format, as ES wants it
    if (!listed()) tex_image_2d(target, level, width, height, border, format, type, pixels);
}
void GLAPIENTRY glTexParameteri(GLenum target, GLenum pname, GLint param) {
    if (listed()) return;
    flush_batch();
    Textures& t = state.textures;
    if (target == GL_TEXTURE_2D && pname == GL_TEXTURE_MIN_FILTER && t.bound < kTrackedTextures)
        t.unmipmapped[t.bound] = param == GL_NEAREST || param == GL_LINEAR;
    es.TexParameteri(target, pname, param);
}
void GLAPIENTRY glBlendFunc(GLenum sfactor, GLenum dfactor) {
    if (listed()) return;
    flush_batch();
    es.BlendFunc(sfactor, dfactor);
}
void GLAPIENTRY glClear(GLbitfield mask) {
    if (listed()) return;
    flush_batch();
    es.Clear(mask);
}
void GLAPIENTRY glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (listed()) return;
    flush_batch();
    GLint* v = state.viewport;
    v[0] = x, v[1] = y, v[2] = width, v[3] = height;
    es.Viewport(x, y, width, height);
}

GLuint GLAPIENTRY glGenLists(GLsizei range) { return gen_lists(range); }
void GLAPIENTRY glNewList(GLuint list, GLenum mode) { new_list(list, mode); }
void GLAPIENTRY glEndList() { end_list(); }
void GLAPIENTRY glBitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
                         const GLubyte* bits) {
    bitmap(width, height, xorig, yorig, xmove, ymove, bits);
}
void GLAPIENTRY glListBase(GLuint base) {
    if (!listed()) list_base(base);
}
void GLAPIENTRY glCallList(GLuint list) {
    if (!listed()) call_list(list);
}
void GLAPIENTRY glCallLists(GLsizei n, GLenum type, const GLvoid* names) {
    if (!listed()) call_lists(n, type, names);
}
void GLAPIENTRY glRasterPos2f(GLfloat x, GLfloat y) {
    if (!listed()) raster_pos(x, y);
}

void GLAPIENTRY glGetFloatv(GLenum pname, GLfloat* params) {
    const Raster& r = state.raster;
    switch (pname) {
        case GL_CURRENT_RASTER_TEXTURE_COORDS: copy4(params, r.texcoord.v); return;
        case GL_CURRENT_RASTER_COLOR: copy4(params, r.colour.v); return;
        case GL_CURRENT_RASTER_POSITION: {
            const float p[4] = {r.x, r.y, r.z, r.clip_w};
            copy4(params, p);
            return;
        }
        case GL_CURRENT_RASTER_POSITION_VALID: params[0] = r.valid ? 1.0f : 0.0f; return;
        case GL_CURRENT_COLOR: copy4(params, state.current.colour.v); return;
        case GL_CURRENT_TEXTURE_COORDS: copy4(params, state.current.texcoord.v); return;
        case GL_CURRENT_NORMAL: std::memcpy(params, state.current.normal, sizeof state.current.normal); return;
        case GL_MODELVIEW_MATRIX: std::memcpy(params, modelview().m, sizeof(Mat4)); return;
        case GL_PROJECTION_MATRIX: std::memcpy(params, projection().m, sizeof(Mat4)); return;
        default: es.GetFloatv(pname, params); return;
    }
}
void GLAPIENTRY glPixelStorei(GLenum pname, GLint param) {
    Unpack& u = state.unpack;
    switch (pname) {
        case GL_UNPACK_ALIGNMENT: u.alignment = param; break;
        case GL_UNPACK_ROW_LENGTH: u.row_length = param; break;
        case GL_UNPACK_SKIP_ROWS: u.skip_rows = param; break;
        case GL_UNPACK_SKIP_PIXELS: u.skip_pixels = param; break;
        default: break;
    }
    es.PixelStorei(pname, param);
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
    if (!batch_start() || !atlas_start() || !gpu_arrays_start()) return false;
    es.GetIntegerv(GL_VIEWPORT, state.viewport);
    return es.GetError() == GL_NO_ERROR;
}

const Gl11& layer_entries() { return kLayerEntries; }

void layer_flush() { flush_batch(); }

}  // namespace glfixed
