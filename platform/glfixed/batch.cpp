// The fixed-function layer's batch: triangles with everything per vertex already worked out,
// drawn with one shader pair whenever the GPU state they depend on is about to change. Main
// thread only, with the ES 3 context current. Static storage only.
#include <cstdio>
#include <cstring>

#include "platform/glfixed/state.h"

namespace glfixed {
namespace {

constexpr int kBatchVertices = 32768;  // the tube, the largest primitive, has 26,404
constexpr int kBatchIndices = kBatchVertices / 4 * 6;

struct Vertex {
    float position[4];  // clip coordinates
    float colour[4];    // after lighting, clamped
    float texcoord[2];
    float glyph[2];     // texel of the glyph atlas for a bitmap fragment
};

struct Batch {
    Vertex vertices[kBatchVertices];
    GLuint indices[kBatchIndices];
    int vertex_count;
    int index_count;
    bool bitmaps;       // what the batch holds: bitmaps, or primitives (never both)
    bool inside_begin;  // between glBegin and glEnd
    // Polygons are assembled as their vertices arrive: a quad becomes two triangles when its
    // fourth vertex is in. The incomplete polygon moves along when the batch fills up.
    int polygon_size;   // 3 or 4; 0: vertices are dropped (a primitive the layer does not draw)
    int polygon_first;  // first vertex of the incomplete polygon
};
Batch batch;

struct Gpu {
    GLuint programs[4];  // (primitives or bitmaps) x (untextured or textured)
    GLuint vertex_array;
    GLuint vertex_buffer;
    GLuint index_buffer;
};
Gpu gpu;

// Everything per vertex arrives finished, in clip coordinates.
const char* const kVertexShader = R"(
layout(location = 0) in vec4 position;
layout(location = 1) in vec4 colour;
layout(location = 2) in vec2 texcoord;
layout(location = 3) in vec2 glyph;  // bitmaps only
void main() {
    gl_Position = position;
    smooth_colour = colour;
    raster_colour = colour;
    smooth_texcoord = texcoord;
    raster_texcoord = texcoord;
    glyph_texel = glyph;
}
)";

// A batch holds bitmaps or primitives, never both, so the fragment stage does the work of only
// one of them (llvmpipe and SwiftShader run both sides of a branch that varies per fragment).
void begin_polygons(int size, bool bitmaps) {
    if (bitmaps != batch.bitmaps) {
        flush_batch();
        batch.bitmaps = bitmaps;
    }
    batch.polygon_size = size;
    batch.polygon_first = batch.vertex_count;
}

Vertex& next_vertex() {
    if (batch.vertex_count == kBatchVertices) {
        const int carried = batch.vertex_count - batch.polygon_first;
        flush_batch();
        std::memmove(batch.vertices, batch.vertices + batch.polygon_first, size_t(carried) * sizeof(Vertex));
        batch.vertex_count = carried;
        batch.polygon_first = 0;
    }
    return batch.vertices[batch.vertex_count++];
}

void vertex_done() {
    const int n = batch.vertex_count - batch.polygon_first;
    if (n < batch.polygon_size) return;
    const GLuint a = GLuint(batch.polygon_first);
    GLuint* out = batch.indices + batch.index_count;
    if (batch.polygon_size == 3) {
        out[0] = a, out[1] = a + 1, out[2] = a + 2;
        batch.index_count += 3;
    } else {
        // The split that Mesa's legacy pipeline makes (last vertex provoking): (0, 1, 3) and
        // (1, 2, 3). It decides which half of a self-crossing quad shows.
        out[0] = a, out[1] = a + 1, out[2] = a + 3;
        out[3] = a + 1, out[4] = a + 2, out[5] = a + 3;
        batch.index_count += 6;
    }
    batch.polygon_first = batch.vertex_count;
}

int polygon_size_of(GLenum mode) {
    if (mode == GL_QUADS) return 4;
    if (mode == GL_TRIANGLES) return 3;
    return 0;
}

// Ends the polygons: an incomplete last one is dropped, as GL drops it.
void end_polygons() {
    counters.vertices_dropped += unsigned(batch.vertex_count - batch.polygon_first);
    batch.vertex_count = batch.polygon_first;
    batch.polygon_size = 0;
}

}  // namespace

bool batch_start() {
    for (int k = 0; k < 4; ++k) {
        gpu.programs[k] = build_program(kVertexShader, k >= 2, k % 2 == 1);
        if (gpu.programs[k] == 0) return false;
    }

    es.GenVertexArrays(1, &gpu.vertex_array);
    bind_vertex_array(gpu.vertex_array);
    es.GenBuffers(1, &gpu.vertex_buffer);
    es.GenBuffers(1, &gpu.index_buffer);
    bind_array_buffer(gpu.vertex_buffer);
    es.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, gpu.index_buffer);
    const auto field = [](int floats) { return reinterpret_cast<const void*>(size_t(floats) * sizeof(float)); };
    es.VertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex), field(0));
    es.VertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex), field(4));
    es.VertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), field(8));
    es.VertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), field(10));
    for (GLuint a = 0; a < 4; ++a) es.EnableVertexAttribArray(a);
    return true;
}

void flush_batch() {
    if (batch.index_count > 0) {
        // Everything this depends on flushes before it changes.
        const bool textured = state.enables.texturing && bound_texture_complete();
        use_program(gpu.programs[(batch.bitmaps ? 2 : 0) + (textured ? 1 : 0)]);
        bind_vertex_array(gpu.vertex_array);
        bind_array_buffer(gpu.vertex_buffer);
        es.BufferData(GL_ARRAY_BUFFER, GLsizeiptr(size_t(batch.vertex_count) * sizeof(Vertex)), batch.vertices,
                      GL_STREAM_DRAW);
        es.BufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(size_t(batch.index_count) * sizeof(GLuint)),
                      batch.indices, GL_STREAM_DRAW);
        es.DrawElements(GL_TRIANGLES, batch.index_count, GL_UNSIGNED_INT, nullptr);
    }
    batch.vertex_count = 0;
    batch.index_count = 0;
}

bool inside_begin() { return batch.inside_begin; }

void begin_primitive(GLenum mode) {
    batch.inside_begin = true;
    begin_polygons(polygon_size_of(mode), false);
}

void end_primitive() {
    end_polygons();
    batch.inside_begin = false;
}

void add_vertex(float x, float y, float z, const float* normal) {
    if (batch.polygon_size == 0) {
        ++counters.vertices_dropped;
        return;
    }
    Vertex& out = next_vertex();
    Vec4 texcoord;
    shade(x, y, z, normal, out.position, out.colour, texcoord);
    const float q = texcoord.v[3] != 0.0f ? texcoord.v[3] : 1.0f;
    out.texcoord[0] = texcoord.v[0] / q;
    out.texcoord[1] = texcoord.v[1] / q;
    out.glyph[0] = out.glyph[1] = 0.0f;  // read for bitmaps only
    vertex_done();
}

void draw_arrays(GLenum mode, GLint first, GLsizei count) {
    const ClientArrays& a = state.arrays;
    if (count <= 0) return;
    if (batch.inside_begin || !a.vertex_on || a.vertices == nullptr || first < 0) {
        counters.vertices_dropped += unsigned(count);
        return;
    }
    if (draw_arrays_on_gpu(mode, first, count)) return;
    const auto* vertices = reinterpret_cast<const char*>(a.vertices);
    const auto* normals = reinterpret_cast<const char*>(a.normals);
    const bool per_vertex_normal = a.normal_on && a.normals != nullptr;
    begin_polygons(polygon_size_of(mode), false);
    for (GLsizei i = first; i < first + count; ++i) {
        const auto* v = reinterpret_cast<const float*>(vertices + long(i) * a.vertex_stride);
        const float* n = per_vertex_normal ? reinterpret_cast<const float*>(normals + long(i) * a.normal_stride)
                                           : state.current.normal;
        add_vertex(v[0], v[1], v[2], n);
    }
    end_polygons();
}

void add_bitmap_quad(float x0, float y0, float width, float height, int atlas_x, int atlas_y) {
    const Raster& r = state.raster;
    const GLint* vp = state.viewport;
    const float corners[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    const float z = r.z * 2.0f - 1.0f;
    const float q = r.texcoord.v[3] != 0.0f ? r.texcoord.v[3] : 1.0f;
    begin_polygons(4, true);
    for (const auto& corner : corners) {
        Vertex& out = next_vertex();
        const float dx = corner[0] * width, dy = corner[1] * height;
        // Window coordinates to clip coordinates with w = 1.
        out.position[0] = (x0 + dx - float(vp[0])) * 2.0f / float(vp[2]) - 1.0f;
        out.position[1] = (y0 + dy - float(vp[1])) * 2.0f / float(vp[3]) - 1.0f;
        out.position[2] = z;
        out.position[3] = 1.0f;
        for (int k = 0; k < 4; ++k) out.colour[k] = r.colour.v[k];
        out.texcoord[0] = r.texcoord.v[0] / q;
        out.texcoord[1] = r.texcoord.v[1] / q;
        out.glyph[0] = float(atlas_x) + dx;
        out.glyph[1] = float(atlas_y) + dy;
        vertex_done();
    }
    batch.polygon_size = 0;
}

void reset_batch() {
    batch.vertex_count = batch.index_count = 0;
    batch.inside_begin = false;
    batch.polygon_size = batch.polygon_first = 0;
}

}  // namespace glfixed
