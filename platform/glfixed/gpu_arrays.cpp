// The fixed-function layer's client arrays on the GPU: glDrawArrays over vertex (and normal)
// arrays big enough to be worth a draw of their own is drawn from GPU buffers that hold the
// arrays as the client gave them, sent again only when their contents change, with a vertex
// shader doing what vertex_stage.cpp does on the CPU (modelview-projection, light 0 with the
// normal as it is, colour material, object-linear generation). The tube and the coil draw this
// way: their arrays never change, so each frame costs a few uniforms and one draw. Main thread
// only, with the ES 3 context current. Static storage only.
#include <cstdint>
#include <cstring>

#include "platform/glfixed/state.h"

namespace glfixed {
namespace {

constexpr GLsizei kMinVertices = 1024;   // smaller arrays ride along in the CPU batch, no draw of their own
constexpr GLsizei kMaxVertices = 65536;  // 16-bit indices
constexpr int kSlots = 4;                // arrays kept at once; the least recently drawn makes room
constexpr int kMaxQuads = kMaxVertices / 4;
// QUIRK: GL leaves the split of a quad to the implementation, and the tube's and coil's quads are far
// from flat, so the split shows. Mesa's llvmpipe (legacy GL's renderer here) takes a draw in
// runs of 4,096 vertices: a run with a vertex outside the view volume goes through its clipper
// and splits each quad as (0, 1, 3), (1, 2, 3), as the batch does; a run wholly inside goes
// straight to the rasterizer, which splits as (0, 1, 2), (0, 2, 3). The same choice per run here
// (the run length found by matching legacy GL's tube picture: 4,096 leaves 4 pixels apart at
// 75 s, 2,048 or 8,192 leave 17 and 323).
constexpr int kRunVertices = 4096;
constexpr GLuint kVertexAt = 0, kNormalAt = 1;

// One array pair on the GPU, known by where the client keeps it and a hash of its bytes.
struct Slot {
    const char* vertices;
    const char* normals;  // null: the current normal for every vertex
    GLsizei vertex_stride, normal_stride;
    GLint first;
    GLsizei count;
    uint64_t vertex_hash, normal_hash;
    unsigned long last_drawn;
    GLuint vertex_array, vertex_buffer, normal_buffer;
};

struct Uniforms {
    GLint model_view_projection, normal_matrix, light_direction, base, diffuse, plane_s, plane_t;
};

struct GpuArrays {
    bool ready;
    GLuint programs[2];  // untextured, textured
    Uniforms uniforms[2];
    GLuint quad_indices;  // every quad split for clipped runs, then every quad split for the others
    Slot slots[kSlots];
    unsigned long draws;
};
GpuArrays arrays;
uint16_t quad_index_scratch[2 * kMaxQuads * 6];

// What vertex_stage.cpp does per vertex, with the terms that are the same for the whole draw
// worked out once on the CPU (shading_terms). Writes the batch's outputs so that the same
// fragment shaders take it.
const char* const kVertexShader = R"(
layout(location = 0) in vec3 vertex;
layout(location = 1) in vec3 normal;
uniform mat4 model_view_projection;
uniform mat3 normal_matrix;
uniform vec3 light_direction;
uniform vec4 base;
uniform vec3 diffuse;
uniform vec4 plane_s;
uniform vec4 plane_t;
void main() {
    vec4 object = vec4(vertex, 1.0);
    vec4 p = model_view_projection * object;
    // Moved a hair inside from the near plane, as the CPU path moves it.
    if (p.w > 0.0 && abs(p.z + p.w) <= p.w * 1e-5) p.z = -p.w + p.w * (1.0 / 1048576.0);
    gl_Position = p;
    float facing = max(dot(normal_matrix * normal, light_direction), 0.0);
    smooth_colour = vec4(clamp(base.rgb + facing * diffuse, 0.0, 1.0), base.a);
    smooth_texcoord = vec2(dot(plane_s, object), dot(plane_t, object));
    raster_colour = smooth_colour;
    raster_texcoord = smooth_texcoord;
    glyph_texel = vec2(0.0);
}
)";

// FNV-style over 64-bit words, two lanes so that the multiplies overlap: a frame's check of the
// tube's 630 kB costs some 0.1 ms against about 1 ms to light its vertices on the CPU.
uint64_t hash_bytes(const char* p, size_t n) {
    constexpr uint64_t kPrime = 0x100000001B3ull;
    uint64_t a = 0xCBF29CE484222325ull ^ n, b = 0x9E3779B97F4A7C15ull;
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        uint64_t w[2];
        std::memcpy(w, p + i, sizeof w);
        a = (a ^ w[0]) * kPrime;
        b = (b ^ w[1]) * kPrime;
    }
    for (; i < n; ++i) a = (a ^ uint8_t(p[i])) * kPrime;
    return a ^ (b * kPrime + (b >> 29));
}

size_t span_bytes(GLsizei count, GLsizei stride) { return size_t(count - 1) * size_t(stride) + 3 * sizeof(float); }

void upload(GLuint buffer, GLuint at, const char* data, GLsizei count, GLsizei stride) {
    bind_array_buffer(buffer);
    es.BufferData(GL_ARRAY_BUFFER, GLsizeiptr(span_bytes(count, stride)), data, GL_STATIC_DRAW);
    es.VertexAttribPointer(at, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
    es.EnableVertexAttribArray(at);
}

// The slot holding these arrays with these contents, uploading what is new or changed.
Slot& slot_for(const char* vertices, const char* normals, GLint first, GLsizei count) {
    const ClientArrays& a = state.arrays;
    const char* v = vertices + long(first) * a.vertex_stride;
    const char* n = normals != nullptr ? normals + long(first) * a.normal_stride : nullptr;
    const uint64_t vertex_hash = hash_bytes(v, span_bytes(count, a.vertex_stride));
    const uint64_t normal_hash = n != nullptr ? hash_bytes(n, span_bytes(count, a.normal_stride)) : 0;

    Slot* slot = &arrays.slots[0];
    bool known = false;
    for (Slot& s : arrays.slots) {
        known = s.vertices == vertices && s.normals == normals && s.vertex_stride == a.vertex_stride &&
                s.normal_stride == a.normal_stride && s.first == first && s.count == count;
        if (known) {
            slot = &s;
            break;
        }
        if (s.last_drawn < slot->last_drawn) slot = &s;
    }
    Slot& s = *slot;
    const bool fresh = !known;
    bind_vertex_array(s.vertex_array);
    if (fresh || s.vertex_hash != vertex_hash) upload(s.vertex_buffer, kVertexAt, v, count, a.vertex_stride);
    if (n == nullptr) es.DisableVertexAttribArray(kNormalAt);
    else if (fresh || s.normal_hash != normal_hash) upload(s.normal_buffer, kNormalAt, n, count, a.normal_stride);
    if (!fresh && (s.vertex_hash != vertex_hash || s.normal_hash != normal_hash)) ++counters.array_reuploads;
    s.vertices = vertices, s.normals = normals, s.first = first, s.count = count;
    s.vertex_stride = a.vertex_stride, s.normal_stride = a.normal_stride;
    s.vertex_hash = vertex_hash, s.normal_hash = normal_hash;
    s.last_drawn = ++arrays.draws;
    return s;
}

void set_uniforms(const Uniforms& u) {
    refresh_derived();
    const ShadingTerms t = shading_terms();
    es.UniformMatrix4fv(u.model_view_projection, 1, GL_FALSE, state.matrices.model_view_projection.m);
    es.UniformMatrix3fv(u.normal_matrix, 1, GL_TRUE, state.matrices.normal_matrix);  // stored by rows
    es.Uniform3fv(u.light_direction, 1, state.lighting.light0_direction);
    es.Uniform4fv(u.base, 1, t.base);
    es.Uniform3fv(u.diffuse, 1, t.diffuse);
    es.Uniform4fv(u.plane_s, 1, t.plane_s);
    es.Uniform4fv(u.plane_t, 1, t.plane_t);
}

void draw_quad_range(int from, int to, bool clipped) {
    const size_t first_index = size_t(clipped ? 0 : kMaxQuads) * 6 + size_t(from) * 6;
    es.DrawElements(GL_TRIANGLES, GLsizei(to - from) * 6, GL_UNSIGNED_SHORT,
                    reinterpret_cast<const void*>(first_index * sizeof(uint16_t)));
}

// Whether any of the n vertices lies outside the view volume.
bool run_clipped(const char* vertices, int n) {
    const float* m = state.matrices.model_view_projection.m;
    for (int i = 0; i < n; ++i) {
        const auto* v = reinterpret_cast<const float*>(vertices + long(i) * state.arrays.vertex_stride);
        const float w = m[3] * v[0] + m[7] * v[1] + m[11] * v[2] + m[15];
        for (int r = 0; r < 3; ++r) {
            const float c = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r];
            if (c > w || c < -w) return true;
        }
    }
    return false;
}

// The quads in runs of kRunVertices, each split as legacy GL splits it; consecutive runs split
// alike go in one draw.
void draw_quads(const char* vertices, int quads) {
    constexpr int kRunQuads = kRunVertices / 4;
    int from = 0;
    bool from_clipped = false;
    for (int q = 0; q < quads; q += kRunQuads) {
        const int n = quads - q < kRunQuads ? quads - q : kRunQuads;
        const bool clipped = run_clipped(vertices + long(4 * q) * state.arrays.vertex_stride, 4 * n);
        if (q == 0) from_clipped = clipped;
        if (clipped == from_clipped) continue;
        draw_quad_range(from, q, from_clipped);
        from = q;
        from_clipped = clipped;
    }
    draw_quad_range(from, quads, from_clipped);
}

}  // namespace

bool gpu_arrays_start() {
    for (int k = 0; k < 2; ++k) {
        const GLuint program = build_program(kVertexShader, false, k == 1);
        if (program == 0) return false;
        const auto at = [program](const char* name) { return es.GetUniformLocation(program, name); };
        arrays.programs[k] = program;
        arrays.uniforms[k] = {at("model_view_projection"), at("normal_matrix"), at("light_direction"), at("base"),
                              at("diffuse"), at("plane_s"), at("plane_t")};
    }
    // Quads split both ways (see kRunVertices): one index buffer for every array, held by each
    // slot's vertex array.
    for (int q = 0; q < kMaxQuads; ++q) {
        const uint16_t a = uint16_t(4 * q), b = uint16_t(a + 1), c = uint16_t(a + 2), d = uint16_t(a + 3);
        const uint16_t clipped[6] = {a, b, d, b, c, d}, inside[6] = {a, b, c, a, c, d};
        std::memcpy(quad_index_scratch + 6 * q, clipped, sizeof clipped);
        std::memcpy(quad_index_scratch + 6 * (kMaxQuads + q), inside, sizeof inside);
    }
    es.GenBuffers(1, &arrays.quad_indices);
    for (Slot& s : arrays.slots) {
        es.GenVertexArrays(1, &s.vertex_array);
        es.GenBuffers(1, &s.vertex_buffer);
        es.GenBuffers(1, &s.normal_buffer);
        bind_vertex_array(s.vertex_array);
        es.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, arrays.quad_indices);
        if (&s == arrays.slots)
            es.BufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof quad_index_scratch, quad_index_scratch, GL_STATIC_DRAW);
    }
    arrays.ready = true;
    return true;
}

bool draw_arrays_on_gpu(GLenum mode, GLint first, GLsizei count) {
    const int polygon = mode == GL_QUADS ? 4 : (mode == GL_TRIANGLES ? 3 : 0);
    if (!arrays.ready || polygon == 0 || count < kMinVertices || count > kMaxVertices) return false;
    const ClientArrays& a = state.arrays;
    const auto* normals = a.normal_on ? reinterpret_cast<const char*>(a.normals) : nullptr;
    flush_batch();
    slot_for(reinterpret_cast<const char*>(a.vertices), normals, first, count);
    if (normals == nullptr) {
        const float* n = state.current.normal;
        es.VertexAttrib3f(kNormalAt, n[0], n[1], n[2]);
    }
    const int k = state.enables.texturing && bound_texture_complete() ? 1 : 0;
    use_program(arrays.programs[k]);
    set_uniforms(arrays.uniforms[k]);
    // An incomplete last polygon is dropped, as GL drops it.
    counters.vertices_dropped += unsigned(count % polygon);
    const GLsizei whole = count - count % polygon;
    if (polygon == 4) draw_quads(reinterpret_cast<const char*>(a.vertices) + long(first) * a.vertex_stride, whole / 4);
    else es.DrawArrays(GL_TRIANGLES, 0, whole);
    return true;
}

void reset_gpu_arrays() {
    for (Slot& s : arrays.slots) {
        s.vertices = s.normals = nullptr;
        s.count = 0;
        s.last_drawn = 0;
    }
    arrays.draws = 0;
}

}  // namespace glfixed
