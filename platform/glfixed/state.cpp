// The fixed-function layer's state record, its counters, the matrix stacks and the enable
// switches with their attribute stack. Main thread only, with the ES 3 context current.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/glfixed/state.h"

namespace glfixed {

State state;
Stats counters;
Es3 es;

Mat4 multiply(const Mat4& a, const Mat4& b) {
    Mat4 p;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            p.m[c * 4 + r] = a.m[r] * b.m[c * 4] + a.m[4 + r] * b.m[c * 4 + 1] + a.m[8 + r] * b.m[c * 4 + 2] +
                             a.m[12 + r] * b.m[c * 4 + 3];
    return p;
}

Mat4& modelview() { return state.matrices.modelview[state.matrices.modelview_top]; }
Mat4& projection() { return state.matrices.projection[state.matrices.projection_top]; }
Mat4& current_matrix() { return state.matrices.mode == GL_PROJECTION ? projection() : modelview(); }
void matrix_changed() { state.matrices.stale = true; }

void refresh_derived() {
    Matrices& mx = state.matrices;
    if (!mx.stale) return;
    mx.stale = false;
    mx.model_view_projection = multiply(projection(), modelview());
    // Normals go through the inverse transpose of the upper 3 x 3; without normalisation their
    // length is kept, which the lighting of the tube's large quads depends on.
    const float* m = modelview().m;
    const float a = m[0], b = m[4], c = m[8];   // row 0
    const float d = m[1], e = m[5], f = m[9];   // row 1
    const float g = m[2], h = m[6], i = m[10];  // row 2
    const float co_a = e * i - f * h, co_b = f * g - d * i, co_c = d * h - e * g;
    const float det = a * co_a + b * co_b + c * co_c;
    const float inv = det != 0.0f ? 1.0f / det : 0.0f;
    // Inverse transpose = cofactor matrix / det.
    float* n = mx.normal_matrix;
    n[0] = co_a * inv, n[1] = co_b * inv, n[2] = co_c * inv;
    n[3] = (c * h - b * i) * inv, n[4] = (a * i - c * g) * inv, n[5] = (b * g - a * h) * inv;
    n[6] = (b * f - c * e) * inv, n[7] = (c * d - a * f) * inv, n[8] = (a * e - b * d) * inv;
}

void rotate(float angle, float x, float y, float z) {
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

void perspective(double fovy, double aspect, double z_near, double z_far) {
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

void push_matrix() {
    Matrices& mx = state.matrices;
    const bool projection_mode = mx.mode == GL_PROJECTION;
    int& top = projection_mode ? mx.projection_top : mx.modelview_top;
    Mat4* stack = projection_mode ? mx.projection : mx.modelview;
    if (top + 1 == (projection_mode ? kProjectionDepth : kModelviewDepth)) {
        ++counters.matrix_stack_overflow;
        return;
    }
    stack[top + 1] = stack[top];
    ++top;
}

void pop_matrix() {
    Matrices& mx = state.matrices;
    int& top = mx.mode == GL_PROJECTION ? mx.projection_top : mx.modelview_top;
    if (top == 0) {
        ++counters.matrix_stack_underflow;
        return;
    }
    --top;
    matrix_changed();
}

namespace {

void set_gpu_switch(GLenum cap, bool& now, bool on) {
    if (now == on) return;
    flush_batch();
    now = on;
    if (on) es.Enable(cap);
    else es.Disable(cap);
}

// Makes `to` the state of the switches, flushing before any change the GPU or the batch sees.
void apply(const Enables& to) {
    Enables& e = state.enables;
    // Leaving colour material keeps the colour it last tracked as the material.
    if (e.colour_material && !to.colour_material)
        state.lighting.material_ambient = state.lighting.material_diffuse = state.current.colour;
    if (e.texturing != to.texturing) flush_batch();
    set_gpu_switch(GL_BLEND, e.blending, to.blending);
    set_gpu_switch(GL_DEPTH_TEST, e.depth_test, to.depth_test);
    e = to;
}

}  // namespace

void set_capability(GLenum cap, bool on) {
    Enables to = state.enables;
    switch (cap) {
        case GL_LIGHTING: to.lighting = on; break;
        case GL_LIGHT0: to.light0 = on; break;
        case GL_COLOR_MATERIAL: to.colour_material = on; break;
        case GL_TEXTURE_GEN_S: to.generate_s = on; break;
        case GL_TEXTURE_GEN_T: to.generate_t = on; break;
        case GL_TEXTURE_2D: to.texturing = on; break;
        case GL_BLEND: to.blending = on; break;
        case GL_DEPTH_TEST: to.depth_test = on; break;
        default: ++counters.unknown_capability; return;
    }
    apply(to);
}

// Only the enable switches are kept (GL_ENABLE_BIT); other groups are not part of this layer.
void push_attrib(GLbitfield mask) {
    AttribStack& s = state.attribs;
    if (s.top == kAttribDepth) {
        ++counters.attrib_stack_overflow;
        return;
    }
    s.saved[s.top] = state.enables;
    s.mask[s.top] = mask;
    ++s.top;
}

void pop_attrib() {
    AttribStack& s = state.attribs;
    if (s.top == 0) {
        ++counters.attrib_stack_underflow;
        return;
    }
    --s.top;
    if ((s.mask[s.top] & GL_ENABLE_BIT) != 0) apply(s.saved[s.top]);
}

const Stats& stats() { return counters; }

void print_stats_if_asked() {
    const char* asked = std::getenv("DEMO_GL_STATS");
    if (asked == nullptr || std::strcmp(asked, "1") != 0 || es.DrawElements == nullptr) return;
    const Stats& c = counters;
    std::fprintf(stderr,
                 "demo: GL layer: vertices dropped %lu, list names dropped %lu, atlas full %lu, matrix stack "
                 "overflow %lu, underflow %lu, attribute stack overflow %lu, underflow %lu, unknown capability "
                 "%lu, calls left out of lists %lu, arrays uploaded again %lu\n",
                 c.vertices_dropped, c.list_names_dropped, c.atlas_full, c.matrix_stack_overflow,
                 c.matrix_stack_underflow, c.attrib_stack_overflow, c.attrib_stack_underflow,
                 c.unknown_capability, c.calls_in_list, c.array_reuploads);
}

void reset() {
    reset_batch();
    reset_lists();
    reset_gpu_arrays();
    // GPU switches the record holds go back to GL's defaults on the GPU too.
    if (state.enables.blending) es.Disable(GL_BLEND);
    if (state.enables.depth_test) es.Disable(GL_DEPTH_TEST);
    GLint viewport[4];
    std::memcpy(viewport, state.viewport, sizeof viewport);
    state = State{};
    std::memcpy(state.viewport, viewport, sizeof viewport);
    counters = Stats{};
}

}  // namespace glfixed
