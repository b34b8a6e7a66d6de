// The fixed-function layer on its own, over a recording ES 3 function table instead of a GPU:
// what reaches the GPU (vertices, indices, the order of draws and state changes) for a few GL
// 1.1 calls, against values worked out by hand from OpenGL 1.1's definitions. No picture, no
// context; each test in its own process starts the layer afresh.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/glfixed/glfixed.h"
#include "platform/glfixed/tables.h"
#include "tests/glfixed/recording_es.h"

namespace {

using recording_es::rec;
using recording_es::Vertex;

class Layer : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(glfixed::layer_start(recording_es::recording_table()));
        rec.calls.clear();
        rec.draws.clear();
    }
    const glfixed::Gl11& gl = glfixed::layer_entries();

    // One triangle at the origin with normal n; the colour its first vertex is given.
    Vertex lit_vertex(float nx, float ny, float nz) {
        gl.glNormal3f(nx, ny, nz);
        gl.glBegin(GL_TRIANGLES);
        gl.glVertex3f(0, 0, 0);
        gl.glVertex3f(0.1f, 0, 0);
        gl.glVertex3f(0, 0.1f, 0);
        gl.glEnd();
        gl.glFlush();
        EXPECT_EQ(rec.draws.size(), 1u);
        const Vertex v = rec.draws.empty() ? Vertex{} : rec.draws.back().corners.at(0);
        rec.draws.clear();
        return v;
    }

    void demo_light() {
        const float diffuse[4] = {0.5f, 0.5f, 0.5f, 0.0f}, position[4] = {0, 0, 1, 0};
        gl.glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        gl.glLightfv(GL_LIGHT0, GL_POSITION, position);
        gl.glEnable(GL_LIGHTING);
        gl.glEnable(GL_LIGHT0);
    }

    void quad(float x) {
        gl.glVertex3f(x, 0, 0);
        gl.glVertex3f(x, 1, 0);
        gl.glVertex3f(x + 1, 1, 0);
        gl.glVertex3f(x + 1, 0, 0);
    }
};

void expect_colour(const Vertex& v, const float (&want)[4], const char* what) {
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(v.colour[k], want[k], 1e-5f) << what << ", component " << k;
}

// Colour (0.2, 0.4, 0.1, 0.3) under colour material, light 0 diffuse 0.5 from +z, the global
// ambient 0.2: each channel is 0.2 c + max(n . l, 0) 0.5 c, clamped; alpha stays 0.3.
TEST_F(Layer, LitColourFollowsTheNormalUnnormalisedAndClamped) {
    demo_light();
    gl.glEnable(GL_COLOR_MATERIAL);
    gl.glColor4f(0.2f, 0.4f, 0.1f, 0.3f);
    const struct {
        const char* what;
        float n[3];
        float colour[4];
    } cases[] = {
        {"towards the light", {0, 0, 1}, {0.14f, 0.28f, 0.07f, 0.3f}},
        {"three times as long", {0, 0, 3}, {0.34f, 0.68f, 0.17f, 0.3f}},
        {"tilted (0.6, 0, 0.8)", {0.6f, 0, 0.8f}, {0.12f, 0.24f, 0.06f, 0.3f}},
        {"facing away", {0, 0, -1}, {0.04f, 0.08f, 0.02f, 0.3f}},
        {"edge on", {0, 1, 0}, {0.04f, 0.08f, 0.02f, 0.3f}},
        {"ten times as long: clamped", {0, 0, 10}, {1.0f, 1.0f, 0.52f, 0.3f}},
    };
    for (const auto& c : cases) expect_colour(lit_vertex(c.n[0], c.n[1], c.n[2]), c.colour, c.what);
}

TEST_F(Layer, NormalsTurnWithTheModelview) {
    demo_light();  // the light's direction is fixed in eye space when it is set
    gl.glEnable(GL_COLOR_MATERIAL);
    gl.glColor4f(0.2f, 0.4f, 0.1f, 1.0f);
    gl.glRotatef(90, 0, 1, 0);  // object +x now points to eye -z
    expect_colour(lit_vertex(1, 0, 0), {0.04f, 0.08f, 0.02f, 1.0f}, "+x turned away");
    expect_colour(lit_vertex(-1, 0, 0), {0.14f, 0.28f, 0.07f, 1.0f}, "-x turned to the light");
}

// Without colour material the material is GL's default, ambient 0.2 and diffuse 0.8 (alpha 1):
// 0.2 x 0.2 + 0.8 x 0.5 whatever the colour; after colour material the last colour stays.
TEST_F(Layer, ColourMaterialDrivesAmbientAndDiffuse) {
    demo_light();
    gl.glColor4f(0.2f, 0.4f, 0.1f, 0.3f);
    expect_colour(lit_vertex(0, 0, 1), {0.44f, 0.44f, 0.44f, 1.0f}, "default material");
    gl.glEnable(GL_COLOR_MATERIAL);
    expect_colour(lit_vertex(0, 0, 1), {0.14f, 0.28f, 0.07f, 0.3f}, "tracking the colour");
    gl.glDisable(GL_COLOR_MATERIAL);
    gl.glColor4f(1, 1, 1, 1);
    expect_colour(lit_vertex(0, 0, 1), {0.14f, 0.28f, 0.07f, 0.3f}, "the tracked colour kept");
    gl.glDisable(GL_LIGHTING);
    gl.glColor4f(1.5f, -0.5f, 0.25f, 2.0f);
    expect_colour(lit_vertex(0, 0, 1), {1.0f, 0.0f, 0.25f, 1.0f}, "unlit: the colour, clamped");
}

TEST_F(Layer, ObjectLinearTextureCoordinatesComeFromTheUntransformedVertex) {
    const float s_plane[4] = {0.1f, 0, 0, 0}, t_plane[4] = {0, 0.1f, 0.5f, 0.25f};
    gl.glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    gl.glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    gl.glTexGenfv(GL_S, GL_OBJECT_PLANE, s_plane);
    gl.glTexGenfv(GL_T, GL_OBJECT_PLANE, t_plane);
    gl.glEnable(GL_TEXTURE_GEN_S);
    gl.glEnable(GL_TEXTURE_GEN_T);
    gl.glTexCoord2f(7, 9);
    gl.glTranslatef(1, 2, 3);  // moves the position, not the coordinates
    gl.glBegin(GL_TRIANGLES);
    gl.glVertex3f(3, -2, 0.5f);
    gl.glVertex3f(0, 0, 0);
    gl.glDisable(GL_TEXTURE_GEN_T);  // between vertices: the next one keeps the current t
    gl.glVertex3f(-1, 4, 0);
    gl.glEnd();
    gl.glFlush();
    ASSERT_EQ(rec.draws.size(), 1u);
    const auto& v = rec.draws[0].corners;
    const float want[3][2] = {{0.3f, -0.2f + 0.25f + 0.25f}, {0.0f, 0.25f}, {-0.1f, 9.0f}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(v[size_t(i)].texcoord[0], want[i][0], 1e-6f) << i;
        EXPECT_NEAR(v[size_t(i)].texcoord[1], want[i][1], 1e-6f) << i;
    }
    EXPECT_FLOAT_EQ(v[0].position[0], 4.0f);
    EXPECT_FLOAT_EQ(v[0].position[1], 0.0f);
    EXPECT_FLOAT_EQ(v[0].position[2], 3.5f);
    EXPECT_FLOAT_EQ(v[0].position[3], 1.0f);
}

TEST_F(Layer, QuadsSplitAsZeroOneThreeAndOneTwoThreeAndAnIncompleteOneIsDropped) {
    gl.glBegin(GL_QUADS);
    gl.glVertex3f(0, 0, 0);
    gl.glVertex3f(1, 0, 0);
    gl.glVertex3f(2, 0, 0);
    gl.glVertex3f(3, 0, 0);
    gl.glVertex3f(4, 0, 0);  // three vertices of a second quad
    gl.glVertex3f(5, 0, 0);
    gl.glVertex3f(6, 0, 0);
    gl.glEnd();
    gl.glBegin(GL_POINTS);  // not drawn by the layer: counted
    gl.glVertex3f(7, 0, 0);
    gl.glEnd();
    gl.glVertex3f(8, 0, 0);  // outside glBegin/glEnd
    gl.glFlush();
    ASSERT_EQ(rec.draws.size(), 1u);
    std::vector<float> order;
    for (const Vertex& v : rec.draws[0].corners) order.push_back(v.position[0]);
    EXPECT_EQ(order, (std::vector<float>{0, 1, 3, 1, 2, 3}));
    EXPECT_EQ(glfixed::stats().vertices_dropped, 5u);
}

// Everything a batch's draw depends on flushes it before it changes; the rest does not.
TEST_F(Layer, ABatchIsDrawnBeforeTheGpuStateItDependsOnChanges) {
    const struct {
        const char* what;
        void (*change)(const glfixed::Gl11&);
        const char* gpu_call;  // null: no GPU call, and the batch goes on
    } cases[] = {
        {"texture bind", [](const glfixed::Gl11& g) { g.glBindTexture(GL_TEXTURE_2D, 2); }, "bind texture"},
        {"blend function", [](const glfixed::Gl11& g) { g.glBlendFunc(GL_ONE, GL_ONE); }, "blend function"},
        {"blending on", [](const glfixed::Gl11& g) { g.glEnable(GL_BLEND); }, "enable BLEND"},
        {"depth test on", [](const glfixed::Gl11& g) { g.glEnable(GL_DEPTH_TEST); }, "enable DEPTH_TEST"},
        {"viewport", [](const glfixed::Gl11& g) { g.glViewport(0, 0, 320, 240); }, "viewport"},
        {"clear", [](const glfixed::Gl11& g) { g.glClear(GL_DEPTH_BUFFER_BIT); }, "clear"},
        {"texturing on", [](const glfixed::Gl11& g) { g.glEnable(GL_TEXTURE_2D); }, ""},
        {"lighting on", [](const glfixed::Gl11& g) { g.glEnable(GL_LIGHTING); }, nullptr},
        {"generation on", [](const glfixed::Gl11& g) { g.glEnable(GL_TEXTURE_GEN_S); }, nullptr},
        {"colour", [](const glfixed::Gl11& g) { g.glColor4f(1, 0, 0, 1); }, nullptr},
        {"matrix", [](const glfixed::Gl11& g) { g.glTranslatef(1, 0, 0); }, nullptr},
    };
    for (const auto& c : cases) {
        glfixed::reset();
        rec.calls.clear();
        gl.glBegin(GL_QUADS);
        quad(0);
        gl.glEnd();
        c.change(gl);
        if (c.gpu_call == nullptr) {
            EXPECT_TRUE(rec.calls.empty()) << c.what << " drew or changed the GPU: " << rec.calls.at(0);
        } else if (*c.gpu_call == '\0') {
            EXPECT_EQ(rec.calls, (std::vector<std::string>{"draw"})) << c.what;
        } else {
            EXPECT_EQ(rec.calls, (std::vector<std::string>{"draw", c.gpu_call})) << c.what;
        }
    }
}

// 32,768 vertices fill the batch: after one triangle and 8,191 quads (32,767 vertices) the next
// quad's first vertex is the last that fits, and it moves to the next batch with the other three.
TEST_F(Layer, AFullBatchCarriesTheIncompleteQuadOver) {
    gl.glBegin(GL_TRIANGLES);
    gl.glVertex3f(-1, 0, 0);
    gl.glVertex3f(-1, 1, 0);
    gl.glVertex3f(-2, 0, 0);
    gl.glEnd();
    gl.glBegin(GL_QUADS);
    for (int q = 0; q < 8192; ++q) quad(float(q));
    gl.glEnd();
    gl.glFlush();
    ASSERT_EQ(rec.draws.size(), 2u);
    EXPECT_EQ(rec.draws[0].vertices_sent, 32768u);  // the carried vertex goes too, unused
    EXPECT_EQ(rec.draws[0].corners.size(), 3u + 8191u * 6u);
    EXPECT_EQ(rec.draws[1].vertices_sent, 4u);
    ASSERT_EQ(rec.draws[1].corners.size(), 6u);
    const float want_x[6] = {8191, 8191, 8192, 8191, 8192, 8192};  // (0, 1, 3), (1, 2, 3)
    const float want_y[6] = {0, 1, 0, 1, 1, 0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rec.draws[1].corners[size_t(i)].position[0], want_x[i]) << i;
        EXPECT_EQ(rec.draws[1].corners[size_t(i)].position[1], want_y[i]) << i;
    }
    EXPECT_EQ(glfixed::stats().vertices_dropped, 0u);
}

// Lists 1..16 each hold one empty-looking bitmap that moves the raster position by 2^(list - 1)
// pixels, so the distance moved tells which lists ran.
class Lists : public Layer {
protected:
    void SetUp() override {
        Layer::SetUp();
        const GLubyte bits[4] = {0x80, 0, 0, 0};
        ASSERT_EQ(gl.glGenLists(16), 1u);
        for (GLuint list = 1; list <= 16; ++list) {
            gl.glNewList(list, GL_COMPILE);
            gl.glBitmap(1, 1, 0, 0, float(1 << (list - 1)), 0, bits);
            gl.glEndList();
        }
    }
    float moved_by(GLsizei n, GLenum type, const void* names) {
        gl.glRasterPos2f(0, 0);  // identity matrices: the window's centre, x = 320
        gl.glCallLists(n, type, names);
        float p[4];
        gl.glGetFloatv(GL_CURRENT_RASTER_POSITION, p);
        return p[0] - 320.0f;
    }
};

TEST_F(Lists, CallListsReadsEachIndexTypeFromTheListBase) {
    const GLubyte ubytes[] = {1, 3};
    const GLbyte bytes[] = {-2, 1};
    const GLushort ushorts[] = {0, 2};
    const GLshort shorts[] = {-3, 4};
    const GLuint uints[] = {5};
    const GLint ints[] = {-1};
    const struct {
        GLenum type;
        GLsizei n;
        const void* names;
        float moved;  // with the list base at 4
    } cases[] = {
        {GL_UNSIGNED_BYTE, 2, ubytes, 16 + 64},  // lists 5 and 7
        {GL_BYTE, 2, bytes, 2 + 16},             // 2 and 5
        {GL_UNSIGNED_SHORT, 2, ushorts, 8 + 32}, // 4 and 6
        {GL_SHORT, 2, shorts, 1 + 128},          // 1 and 8
        {GL_UNSIGNED_INT, 1, uints, 256},        // 9
        {GL_INT, 1, ints, 4},                    // 3
    };
    gl.glListBase(4);
    for (const auto& c : cases) EXPECT_EQ(moved_by(c.n, c.type, c.names), c.moved) << std::hex << c.type;
    gl.glListBase(0);
    EXPECT_EQ(moved_by(2, GL_UNSIGNED_BYTE, ubytes), 1 + 4) << "lists 1 and 3 from base 0";
    EXPECT_EQ(glfixed::stats().list_names_dropped, 0u);

    const float floats[] = {1.0f};
    EXPECT_EQ(moved_by(1, GL_FLOAT, floats), 0.0f);
    const GLubyte beyond[] = {200};
    EXPECT_EQ(moved_by(1, GL_UNSIGNED_BYTE, beyond), 0.0f);
    EXPECT_EQ(glfixed::stats().list_names_dropped, 2u);
}

// The bitmap quad sits at the raster position, floored, in window pixels; a raster position
// outside the view drops the bitmap and does not move.
TEST_F(Lists, ARasterPositionOutsideTheViewDropsTheBitmap) {
    const GLubyte one[] = {1};
    gl.glRasterPos2f(0.5f, -0.5f);  // window (480, 120)
    gl.glCallLists(1, GL_UNSIGNED_BYTE, one);
    gl.glFlush();
    ASSERT_EQ(rec.draws.size(), 1u);
    const Vertex& corner = rec.draws[0].corners[0];  // the bitmap's lower left
    EXPECT_FLOAT_EQ(corner.position[0], 480.0f / 320.0f - 1.0f);
    EXPECT_FLOAT_EQ(corner.position[1], 120.0f / 240.0f - 1.0f);

    rec.draws.clear();
    gl.glRasterPos2f(1.01f, 0.0f);
    float valid = 1.0f;
    gl.glGetFloatv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    EXPECT_EQ(valid, 0.0f);
    gl.glCallLists(1, GL_UNSIGNED_BYTE, one);
    gl.glFlush();
    EXPECT_TRUE(rec.draws.empty());
}

// glPushAttrib saves the enable switches whole; glPopAttrib puts back each one that changed,
// the GPU's among them. Inside a list the switches are kept for replay.
TEST_F(Lists, AttributesPushAndPopTheEnableSwitches) {
    demo_light();
    gl.glEnable(GL_COLOR_MATERIAL);
    gl.glColor4f(0.2f, 0.4f, 0.1f, 0.3f);
    gl.glPushAttrib(GL_ENABLE_BIT);
    gl.glDisable(GL_LIGHTING);
    gl.glEnable(GL_BLEND);
    expect_colour(lit_vertex(0, 0, 1), {0.2f, 0.4f, 0.1f, 0.3f}, "unlit inside");
    rec.calls.clear();
    gl.glPopAttrib();
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"disable BLEND"}));
    expect_colour(lit_vertex(0, 0, 1), {0.14f, 0.28f, 0.07f, 0.3f}, "lit again after the pop");

    gl.glNewList(16, GL_COMPILE);  // replaces the bitmap list 16 with switches alone
    gl.glPushAttrib(GL_ENABLE_BIT);
    gl.glDisable(GL_LIGHTING);
    gl.glPopAttrib();
    gl.glDisable(GL_LIGHTING);
    gl.glEndList();
    expect_colour(lit_vertex(0, 0, 1), {0.14f, 0.28f, 0.07f, 0.3f}, "compiling ran nothing");
    gl.glCallList(16);
    expect_colour(lit_vertex(0, 0, 1), {0.2f, 0.4f, 0.1f, 0.3f}, "the list's last switch");
    EXPECT_EQ(glfixed::stats().calls_in_list, 0u);
}

TEST_F(Lists, WhatTheLayerCannotDoIsCounted) {
    gl.glNewList(1, GL_COMPILE);
    gl.glColor4f(1, 0, 0, 1);  // left out of the list
    gl.glEndList();
    gl.glNewList(2, GL_COMPILE_AND_EXECUTE);
    EXPECT_EQ(glfixed::stats().calls_in_list, 2u);

    gl.glPopAttrib();
    for (int i = 0; i < 17; ++i) gl.glPushAttrib(GL_ENABLE_BIT);
    gl.glPopMatrix();
    for (int i = 0; i < 32; ++i) gl.glPushMatrix();
    gl.glMatrixMode(GL_PROJECTION);
    gl.glPushMatrix();
    gl.glPushMatrix();
    gl.glEnable(GL_FOG);
    const glfixed::Stats& s = glfixed::stats();
    EXPECT_EQ(s.attrib_stack_underflow, 1u);
    EXPECT_EQ(s.attrib_stack_overflow, 1u);
    EXPECT_EQ(s.matrix_stack_underflow, 1u);
    EXPECT_EQ(s.matrix_stack_overflow, 2u);  // the 32nd modelview push and the 2nd projection push
    EXPECT_EQ(s.unknown_capability, 1u);

    glfixed::reset();
    EXPECT_EQ(glfixed::stats().matrix_stack_overflow, 0u);
    EXPECT_EQ(gl.glGenLists(1), 1u) << "reset forgets the lists";
}

}  // namespace
