// The layer's GPU arrays over the recording ES 3 table: what glDrawArrays of a large client
// array sends (buffers once, again only when the bytes change; uniforms; one draw) and that the
// vertex shader's inputs give the vertices the CPU path gives for the same state. Each test in
// its own process starts the layer afresh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/glfixed/glfixed.h"
#include "platform/glfixed/tables.h"
#include "tests/glfixed/recording_es.h"

namespace {

using recording_es::rec;

constexpr int kVertices = 1024;  // the smallest array the GPU takes

struct Arrays {
    std::vector<float> vertices, normals;
};

// 256 quads of uneven shape with normals of uneven length, some facing away from +z.
Arrays test_arrays(float seed) {
    Arrays a;
    for (int i = 0; i < kVertices; ++i) {
        const float f = float(i) + seed;
        a.vertices.insert(a.vertices.end(), {std::sin(f) * 3.0f, std::cos(0.7f * f) * 2.0f, -2.0f - 0.01f * f});
        a.normals.insert(a.normals.end(), {std::sin(1.3f * f), 0.5f * std::cos(f), 0.2f + 2.0f * std::sin(0.3f * f)});
    }
    return a;
}

class GpuArrays : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(glfixed::layer_start(recording_es::recording_table())); }
    const glfixed::Gl11& gl = glfixed::layer_entries();

    void draw(const Arrays& a, GLenum mode = GL_QUADS, GLsizei count = kVertices, bool normals = true) {
        gl.glEnableClientState(GL_VERTEX_ARRAY);
        if (normals) gl.glEnableClientState(GL_NORMAL_ARRAY);
        gl.glVertexPointer(3, GL_FLOAT, 0, a.vertices.data());
        gl.glNormalPointer(GL_FLOAT, 0, a.normals.data());
        gl.glDrawArrays(mode, 0, count);
        gl.glDisableClientState(GL_NORMAL_ARRAY);
        gl.glDisableClientState(GL_VERTEX_ARRAY);
        gl.glFlush();
    }
};

std::vector<uint8_t> bytes_of(const std::vector<float>& v) {
    const auto* b = reinterpret_cast<const uint8_t*>(v.data());
    return {b, b + v.size() * sizeof(float)};
}

TEST_F(GpuArrays, UnchangedArraysAreSentOnceAndChangedOnesAgain) {
    Arrays first = test_arrays(0), second = test_arrays(0.5f);
    for (int frame = 0; frame < 3; ++frame) draw(first);
    ASSERT_EQ(rec.static_uploads.size(), 2u) << "vertices and normals, once";
    EXPECT_EQ(rec.static_uploads[0], bytes_of(first.vertices));
    EXPECT_EQ(rec.static_uploads[1], bytes_of(first.normals));
    ASSERT_EQ(rec.array_draws.size(), 3u);
    EXPECT_EQ(rec.array_draws[0].count, kVertices / 4 * 6);
    EXPECT_TRUE(rec.draws.empty()) << "nothing went through the CPU batch";

    first.vertices[3 * 500 + 1] += 0.25f;  // one coordinate moved, the normals untouched
    draw(first);
    ASSERT_EQ(rec.static_uploads.size(), 3u);
    EXPECT_EQ(rec.static_uploads[2], bytes_of(first.vertices));
    EXPECT_EQ(glfixed::stats().array_reuploads, 1u);

    draw(second);  // another pair of arrays: kept beside the first
    draw(first);
    draw(second);
    EXPECT_EQ(rec.static_uploads.size(), 5u);
    EXPECT_EQ(glfixed::stats().array_reuploads, 1u) << "a new array is not sent again";
    EXPECT_EQ(rec.array_draws.size(), 7u);
}

// Too small, a primitive the layer does not draw, or inside glBegin: not the GPU arrays. An
// incomplete last polygon is dropped either way; a pending batch is drawn first.
TEST_F(GpuArrays, OnlyLargeArraysOfQuadsOrTrianglesGoToTheGpu) {
    const Arrays a = test_arrays(0);
    const struct {
        const char* what;
        GLenum mode;
        GLsizei count;
        std::vector<std::string> calls;
        GLsizei array_count;  // indices or vertices the array draw was given
        unsigned long dropped;
    } cases[] = {
        {"1,020 vertices: the CPU batch", GL_QUADS, 1020, {"draw"}, 0, 0},
        {"points", GL_POINTS, kVertices, {}, 0, kVertices},
        {"quads, two vertices over", GL_QUADS, kVertices, {"array draw"}, kVertices / 4 * 6, 0},
        {"triangles, one left over", GL_TRIANGLES, kVertices, {"array draw"}, kVertices - 1, 1},
    };
    for (const auto& c : cases) {
        glfixed::reset();
        rec.calls.clear();
        rec.array_draws.clear();
        draw(a, c.mode, c.count);
        EXPECT_EQ(rec.calls, c.calls) << c.what;
        if (c.array_count > 0 && !rec.array_draws.empty()) {
            EXPECT_EQ(rec.array_draws[0].count, c.array_count) << c.what;
        }
        EXPECT_EQ(glfixed::stats().vertices_dropped, c.dropped) << c.what;
    }

    glfixed::reset();
    rec.calls.clear();
    gl.glBegin(GL_TRIANGLES);
    gl.glVertex3f(0, 0, -1);
    gl.glVertex3f(1, 0, -1);
    gl.glVertex3f(0, 1, -1);
    gl.glEnd();
    draw(a);
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"draw", "array draw"})) << "the batch goes first";
}

// Legacy GL on llvmpipe splits a run of 4,096 vertices wholly inside the view as (0, 1, 2),
// (0, 2, 3) and one with a vertex outside as (0, 1, 3), (1, 2, 3); the picture tests show the
// difference on the tube. Here 2,048 quads inside the view (identity matrices), but for one
// vertex of quad 1,500 pushed out: the first 1,024 quads one way, the next 1,024 the other.
TEST_F(GpuArrays, QuadsSplitAsLegacyGlSplitsThemRunByRun) {
    Arrays a;
    for (int q = 0; q < 2048; ++q) {
        const float x = float(q % 64) / 64.0f - 0.5f, y = float(q / 64) / 64.0f - 0.5f;
        a.vertices.insert(a.vertices.end(), {x, y, 0.0f, x, y + 0.01f, 0.1f, x + 0.01f, y + 0.01f, 0.0f, x + 0.01f, y, 0.1f});
    }
    a.normals.assign(a.vertices.size(), 0.0f);
    const auto draw_all = [&] { draw(a, GL_QUADS, GLsizei(a.vertices.size() / 3)); };
    draw_all();
    ASSERT_EQ(rec.array_draws.size(), 1u);
    EXPECT_EQ(rec.array_draws[0].count, 2048 * 6);
    EXPECT_EQ(rec.array_draws[0].first_quad, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));

    a.vertices[3 * (4 * 1500 + 2)] = 1.5f;  // x beyond w = 1
    rec.array_draws.clear();
    draw_all();
    ASSERT_EQ(rec.array_draws.size(), 2u);
    EXPECT_EQ(rec.array_draws[0].count, 1024 * 6);
    EXPECT_EQ(rec.array_draws[0].first_quad, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(rec.array_draws[1].count, 1024 * 6);
    EXPECT_EQ(rec.array_draws[1].first_quad, (std::vector<uint16_t>{4096, 4097, 4099, 4097, 4098, 4099}));
}

// What the GPU arrays' vertex shader makes of one vertex, from the uniforms it was given.
recording_es::Vertex shaded_on_gpu(const float* v, const float* n) {
    auto u = [](const char* name) { return rec.uniforms.at(name); };
    const std::vector<float> mvp = u("model_view_projection"), nm = u("normal_matrix"), l = u("light_direction"),
                             base = u("base"), diffuse = u("diffuse"), ps = u("plane_s"), pt = u("plane_t");
    recording_es::Vertex out{};
    const float object[4] = {v[0], v[1], v[2], 1.0f};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out.position[r] += mvp[size_t(c * 4 + r)] * object[c];
    float facing = 0;
    for (int r = 0; r < 3; ++r) {
        float eye = 0;
        for (int c = 0; c < 3; ++c) eye += nm[size_t(c * 3 + r)] * n[c];
        facing += eye * l[size_t(r)];
    }
    facing = std::max(facing, 0.0f);
    for (int k = 0; k < 3; ++k) out.colour[k] = std::clamp(base[size_t(k)] + facing * diffuse[size_t(k)], 0.0f, 1.0f);
    out.colour[3] = base[3];
    for (int k = 0; k < 4; ++k) {
        out.texcoord[0] += ps[size_t(k)] * object[k];
        out.texcoord[1] += pt[size_t(k)] * object[k];
    }
    return out;
}

// The same arrays in the same state through both paths: the CPU batch for their first quad
// (four vertices are too few for the GPU), the GPU arrays for all of them.
TEST_F(GpuArrays, TheVertexShaderInputsGiveWhatTheCpuPathGives) {
    const Arrays a = test_arrays(0);
    const float diffuse[4] = {0.5f, 0.5f, 0.5f, 1}, ambient[4] = {0.1f, 0.05f, 0, 1}, position[4] = {0.3f, 0.4f, 1, 0};
    const float s_plane[4] = {0.1f, 0, 0.2f, 0.5f}, t_plane[4] = {0, 0.1f, 0, 0.25f}, texcoord[4] = {7, 9, 0, 2};
    const struct {
        const char* what;
        void (*set)(const glfixed::Gl11&);
        bool normal_array;
    } cases[] = {
        {"lit, colour material, generated S and T (the tube's state)", [](const glfixed::Gl11&) {}, true},
        {"default material", [](const glfixed::Gl11& g) { g.glDisable(GL_COLOR_MATERIAL); }, true},
        {"light 0 off", [](const glfixed::Gl11& g) { g.glDisable(GL_LIGHT0); }, true},
        {"unlit, colour clamped", [](const glfixed::Gl11& g) {
             g.glDisable(GL_LIGHTING);
             g.glColor4f(1.5f, -0.5f, 0.25f, 2.0f);
         }, true},
        {"T not generated: the current one over q", [](const glfixed::Gl11& g) { g.glDisable(GL_TEXTURE_GEN_T); }, true},
        {"no normal array: the current normal", [](const glfixed::Gl11& g) { g.glNormal3f(0.2f, -0.4f, 3.0f); }, false},
    };
    for (const auto& c : cases) {
        glfixed::reset();
        gl.glMatrixMode(GL_PROJECTION);
        gl.gluPerspective(60, 4.0 / 3.0, 0.1, 100);
        gl.glMatrixMode(GL_MODELVIEW);
        gl.glTranslatef(0.5f, -0.25f, -1);
        gl.glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        gl.glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
        gl.glLightfv(GL_LIGHT0, GL_POSITION, position);
        gl.glRotatef(30, 1, 1, 4);
        for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T})
            gl.glEnable(cap);
        gl.glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        gl.glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        gl.glTexGenfv(GL_S, GL_OBJECT_PLANE, s_plane);
        gl.glTexGenfv(GL_T, GL_OBJECT_PLANE, t_plane);
        gl.glTexCoord4fv(texcoord);
        gl.glColor4f(0.2f, 0.4f, 0.1f, 0.3f);
        c.set(gl);
        rec.draws.clear();
        rec.uniforms.clear();
        draw(a, GL_QUADS, 4, c.normal_array);
        draw(a, GL_QUADS, kVertices, c.normal_array);
        ASSERT_EQ(rec.draws.size(), 1u) << c.what;
        ASSERT_FALSE(rec.uniforms.empty()) << c.what;
        const auto& corners = rec.draws[0].corners;  // (0, 1, 3), (1, 2, 3)
        const int vertex_of_corner[4] = {0, 1, 4, 2};
        for (int i = 0; i < 4; ++i) {
            const float* n = c.normal_array ? &a.normals[size_t(3 * i)] : rec.constant_normal;
            const recording_es::Vertex gpu = shaded_on_gpu(&a.vertices[size_t(3 * i)], n);
            const recording_es::Vertex& cpu = corners[size_t(vertex_of_corner[i])];
            for (int k = 0; k < 4; ++k) {
                EXPECT_NEAR(gpu.position[k], cpu.position[k], 1e-5f) << c.what << ", vertex " << i;
                EXPECT_NEAR(gpu.colour[k], cpu.colour[k], 1e-6f) << c.what << ", vertex " << i;
            }
            for (int k = 0; k < 2; ++k) EXPECT_NEAR(gpu.texcoord[k], cpu.texcoord[k], 1e-6f) << c.what << ", vertex " << i;
        }
    }
}

}  // namespace
