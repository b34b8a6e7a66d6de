// What the cube, the swarm and the tube surface hand to the renderer: corners, normals, texture
// coordinates (read back through GL feedback), matrices left behind, and the swarm's depths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "effects/effects.h"
#include "platform/gl.h"
#include "tests/support/headless_demo.h"

namespace {

// One feedback vertex of GL_3D_COLOR_TEXTURE: window x, y, z, colour RGBA, texture STRQ.
struct FeedbackVertex {
    float x, y, z;
    float rgba[4];
    float str[4];
};

// Triangles recorded by the renderer while `draw` runs. Quads come back split as (v0, v1, v3)
// and (v1, v2, v3).
template <typename Draw>
std::vector<FeedbackVertex> feedback_triangles(Draw draw) {
    static GLfloat buffer[8 * 1024 * 1024];
    glFeedbackBuffer(GLsizei(std::size(buffer)), GL_3D_COLOR_TEXTURE, buffer);
    glRenderMode(GL_FEEDBACK);
    draw();
    const int n = glRenderMode(GL_RENDER);
    std::vector<FeedbackVertex> vertices;
    for (int at = 0; at < n;) {
        EXPECT_EQ(buffer[at], GLfloat(GL_POLYGON_TOKEN));
        EXPECT_EQ(buffer[at + 1], 3.0f);  // nothing clipped
        for (int v = 0; v < 3; ++v) {
            FeedbackVertex fv;
            std::memcpy(&fv, &buffer[at + 2 + v * 11], sizeof fv);
            vertices.push_back(fv);
        }
        at += 2 + 3 * 11;
    }
    return vertices;
}

// The four corners of quad q, undoing the renderer's split.
void quad_vertices(const std::vector<FeedbackVertex>& tris, size_t q, FeedbackVertex out[4]) {
    out[0] = tris[6 * q + 0];
    out[1] = tris[6 * q + 1];
    out[2] = tris[6 * q + 4];
    out[3] = tris[6 * q + 2];
}

// Projection scaled by `scale`, modelview identity: feedback window coordinates map straight
// back to object coordinates, and lighting sees the normals as issued.
void flat_view(double scale) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScaled(scale, scale, scale);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

Vec3 object_point(const FeedbackVertex& v, double scale) {
    return {float((v.x / 320.0 - 1.0) / scale), float((v.y / 240.0 - 1.0) / scale),
            float((v.z * 2.0 - 1.0) / scale)};
}

// The generator state whose next demo_rand() returns `value` (the new state's other bits 0).
uint32_t state_before_draw(int value) {
    const uint32_t a = 214013u;
    uint32_t inverse = a;  // Newton's iteration for the inverse modulo 2^32
    for (int i = 0; i < 5; ++i) inverse *= 2u - a * inverse;
    const uint32_t next = uint32_t(value) << 10;
    return (next - 2531011u) * inverse;
}

void expect_matrix(const GLfloat* m, const double* expected, const char* what) {
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(m[k], expected[k], 1e-5) << what << " element " << k;
}

// Column-major rotation by `degrees` about the unit axis (x, y, z).
void rotation(double degrees, double x, double y, double z, double* m) {
    const double a = degrees * 3.14159265358979323846 / 180.0, c = std::cos(a), s = std::sin(a);
    const double r[3][3] = {{x * x * (1 - c) + c, x * y * (1 - c) - z * s, x * z * (1 - c) + y * s},
                            {y * x * (1 - c) + z * s, y * y * (1 - c) + c, y * z * (1 - c) - x * s},
                            {z * x * (1 - c) - y * s, z * y * (1 - c) + x * s, z * z * (1 - c) + c}};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            m[col * 4 + row] = (row < 3 && col < 3) ? r[row][col] : (row == col ? 1.0 : 0.0);
}

void modelview(GLfloat* m) { glGetFloatv(GL_MODELVIEW_MATRIX, m); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Tube surface data

TEST(TubeSurface, WorkedCornersAndNormals) {
    struct Case {
        int mode, row, column;
        Vec3 corners[4];
        bool has_normal;
        Vec3 normal;
    };
    const Case cases[] = {
        {0, 0, 0,
         {{1.0f, 2.0f, 0.0f}, {0.9801f, 2.3987f, 2.0f}, {1.5978f, 3.2460f, 2.0f},
          {1.5780f, 2.8513f, 0.0f}},
         true, {8.4732f, -6.1772f, 1.3158f}},
        {1, 0, 0,
         {{-5.0344f, 3.2641f, -10.0f}, {-5.5826f, 2.1989f, -9.8f}, {-5.5455f, 2.1843f, -9.2040f},
          {-5.0010f, 3.2424f, -9.4040f}},
         true, {-3.1599f, 1.6705f, 0.2376f}},
        {0, 160, 40,
         {{33.4891f, -4.2510f, 320.0f}, {33.5608f, -4.1253f, 322.0f},
          {33.1757f, -10.9992f, 322.0f}, {33.1137f, -11.0861f, 320.0f}},
         false, {}},
    };
    for (const Case& c : cases) {
        Vec3 corners[4];
        Vec3 normal;
        tube_quad(c.mode, c.row, c.column, corners, normal);
        for (int k = 0; k < 4; ++k) {
            const Vec3& e = c.corners[k];
            EXPECT_NEAR(corners[k].x, e.x, 2e-4) << "mode " << c.mode << " corner " << k;
            EXPECT_NEAR(corners[k].y, e.y, 2e-4) << "mode " << c.mode << " corner " << k;
            EXPECT_NEAR(corners[k].z, e.z, 2e-4) << "mode " << c.mode << " corner " << k;
        }
        if (c.has_normal) {
            EXPECT_NEAR(normal.x, c.normal.x, 2e-3) << "mode " << c.mode;
            EXPECT_NEAR(normal.y, c.normal.y, 2e-3) << "mode " << c.mode;
            EXPECT_NEAR(normal.z, c.normal.z, 2e-3) << "mode " << c.mode;
        }
    }
}

// Every quad the renderer receives: corners in order, the unnormalised normal (seen through
// the lit colour under lights along x, y and z), and texture coordinates from the object corners.
TEST(TubeSurface, DrawsEveryQuadOfTheGridAsDescribed) {
    test_support::start_headless_demo();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    bind_texture_slot(0);
    const float colour = 0.001f;  // small, so even the largest normal stays below saturation
    struct Case {
        int mode;
        size_t quads;
        double scale;  // fits the whole surface in the clip volume
    };
    for (const Case& c : {Case{0, 161 * 41, 1.0 / 400.0}, Case{1, 61 * 41, 1.0 / 20.0}}) {
        flat_view(c.scale);
        const GLfloat directions[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
        std::vector<FeedbackVertex> tris[3];
        for (int d = 0; d < 3; ++d) {
            glLightfv(GL_LIGHT0, GL_POSITION, directions[d]);
            glColor4f(colour, colour, colour, 0.0f);
            tris[d] = feedback_triangles([&] { draw_tube_surface(0, c.mode); });
            ASSERT_EQ(tris[d].size(), 6 * c.quads) << "mode " << c.mode;
        }
        int bad = 0;
        for (size_t q = 0; q < c.quads && bad < 5; ++q) {
            Vec3 corners[4], normal;
            tube_quad(c.mode, int(q / 41), int(q % 41), corners, normal);
            const float n[3] = {normal.x, normal.y, normal.z};
            for (int d = 0; d < 3; ++d) {
                FeedbackVertex v[4];
                quad_vertices(tris[d], q, v);
                // Ambient 0.2 of the colour, plus diffuse 0.5 along the unnormalised normal.
                const double lit = colour * (0.2 + 0.5 * std::max(0.0f, n[d]));
                for (int k = 0; k < 4; ++k) {
                    const Vec3 p = object_point(v[k], c.scale);
                    const double tolerance = 0.02 / (c.scale * 20.0);
                    const bool ok = std::abs(p.x - corners[k].x) < tolerance &&
                                    std::abs(p.y - corners[k].y) < tolerance &&
                                    std::abs(p.z - corners[k].z) < tolerance &&
                                    std::abs(v[k].rgba[0] - lit) < 2e-5 &&
                                    std::abs(v[k].str[0] - 0.1 * corners[k].x) < 1e-4 &&
                                    std::abs(v[k].str[1] - 0.1 * corners[k].y) < 1e-4;
                    if (!ok) {
                        ++bad;
                        ADD_FAILURE() << "mode " << c.mode << " quad " << q << " corner " << k
                                      << " light " << d << ": at " << p.x << ", " << p.y << ", "
                                      << p.z << " lit " << v[k].rgba[0] << " (expected " << lit
                                      << ") st " << v[k].str[0] << ", " << v[k].str[1];
                    }
                }
            }
        }
    }
}

TEST(TubeSurface, ModesAboveOneDrawNothingButStillRotate) {
    test_support::start_headless_demo();
    flat_view(1.0 / 400.0);
    EXPECT_TRUE(feedback_triangles([] { draw_tube_surface(3000, 2); }).empty());
    GLfloat m[16];
    modelview(m);
    double expected[16];
    rotation(3000 * 0.02, 2.0 / std::sqrt(5.0), 0.0, 1.0 / std::sqrt(5.0), expected);
    expect_matrix(m, expected, "mode 2");
}

TEST(TubeSurface, RotationStaysOnTheMatrix) {
    test_support::start_headless_demo();
    struct Case {
        uint32_t time;
        int mode;
        double degrees, ax, ay, az;
    };
    const double h = 1.0 / std::sqrt(2.0);
    const Case cases[] = {
        {0, 0, 0.0, 0, 0, 1},
        {4500, 0, 90.0, 0, 0, 1},  // a quarter turn about the tube's length
        {16 * 80000, 1, 25600.0, h, 0, h},
    };
    glDisable(GL_LIGHTING);
    for (const Case& c : cases) {
        glLoadIdentity();
        draw_tube_surface(c.time, c.mode);
        GLfloat m[16];
        modelview(m);
        double expected[16];
        rotation(c.degrees, c.ax, c.ay, c.az, expected);
        expect_matrix(m, expected, "tube");
    }
}

// ---------------------------------------------------------------------------------------------
// Cube and swarm

TEST(Cube, SixFacesInOrderWithTheFirstFaceTakingTheNormalInForce) {
    test_support::start_headless_demo();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    bind_texture_slot(0);
    flat_view(1.0);
    const float s = 0.5f;
    const Vec3 faces[6][4] = {
        {{0, 0, 0}, {0, s, 0}, {s, s, 0}, {s, 0, 0}}, {{0, 0, s}, {0, s, s}, {s, s, s}, {s, 0, s}},
        {{0, 0, 0}, {0, s, 0}, {0, s, s}, {0, 0, s}}, {{s, 0, 0}, {s, s, 0}, {s, s, s}, {s, 0, s}},
        {{0, 0, 0}, {0, 0, s}, {s, 0, s}, {s, 0, 0}}, {{0, s, 0}, {0, s, s}, {s, s, s}, {s, s, 0}},
    };
    // Light along +z (as start-up sets it): normal (0, 0, 1) lights 0.2 + 0.5, (0, -1, 0) 0.2.
    const float front = 0.7f, side = 0.2f;
    for (const float first_face : {front, side}) {
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glNormal3f(0.0f, first_face == front ? 0.0f : -1.0f, first_face == front ? 1.0f : 0.0f);
        const auto tris = feedback_triangles([] { draw_cube(); });
        ASSERT_EQ(tris.size(), 36u);
        const float expected_light[6] = {first_face, front, front, front, side, side};
        for (int f = 0; f < 6; ++f) {
            FeedbackVertex v[4];
            quad_vertices(tris, size_t(f), v);
            for (int k = 0; k < 4; ++k) {
                const Vec3 p = object_point(v[k], 1.0);
                EXPECT_NEAR(p.x, faces[f][k].x, 1e-4) << "face " << f << " vertex " << k;
                EXPECT_NEAR(p.y, faces[f][k].y, 1e-4) << "face " << f << " vertex " << k;
                EXPECT_NEAR(p.z, faces[f][k].z, 1e-4) << "face " << f << " vertex " << k;
                EXPECT_NEAR(v[k].rgba[0], expected_light[f], 1e-4) << "face " << f;
                EXPECT_NEAR(v[k].str[0], 0.1f * faces[f][k].x, 1e-5) << "face " << f;
                EXPECT_NEAR(v[k].str[1], 0.1f * faces[f][k].y, 1e-5) << "face " << f;
            }
        }
        GLfloat normal[3];
        glGetFloatv(GL_CURRENT_NORMAL, normal);
        EXPECT_EQ(normal[0], 0.0f);
        EXPECT_EQ(normal[1], -1.0f);  // what the next cube's first face gets
        EXPECT_EQ(normal[2], 0.0f);
    }
}

TEST(CubeSwarm, RespawnBoundaryAndDepthsAdvancedOncePerCall) {
    test_support::start_headless_demo();
    struct Case {
        float depth;
        int draw;  // the generator's next value, or -1 for "none taken"
        float after;
    };
    const Case cases[] = {
        {-1.0f, -1, -0.9f},         // exactly -1.0 is kept and drawn at -0.9
        {-0.95f, 0, -14.9f},        // respawned first: -15.0 + 0.1
        {-0.5f, 32767, -6.70825f},  // the nearest respawn: -6.80825 + 0.1
        {-14.0f, -1, -13.9f},
        {5.0f, 0, -14.9f},
    };
    for (const Case& c : cases) {
        for (int i = 1; i < 100; ++i) particle_field[i].z = -10.0f;  // none of the others respawn
        particle_field[0].z = c.depth;
        const uint32_t state = c.draw >= 0 ? state_before_draw(c.draw) : 12345u;
        demo_rand_state = state;
        draw_cube_swarm(52000, 0);
        EXPECT_NEAR(particle_field[0].z, c.after, 1e-5) << "from " << c.depth;
        if (c.draw < 0) {
            EXPECT_EQ(demo_rand_state, state) << "no draw taken from " << c.depth;
        } else {
            EXPECT_NE(demo_rand_state, state);
        }
        for (int i = 1; i < 100; ++i) ASSERT_FLOAT_EQ(particle_field[i].z, -9.9f);
    }
    // A cube at -1.0 (drawn at -0.9) comes back on the next call.
    particle_field[0].z = -1.0f;
    draw_cube_swarm(52000, 0);
    draw_cube_swarm(52010, 0);
    EXPECT_LT(particle_field[0].z, -6.7f);
}

TEST(CubeSwarm, OnlyTheFirstHundredDepthsEverChange) {
    test_support::start_headless_demo();
    static Vec3 before[kParticleCount];
    std::memcpy(before, particle_field, sizeof before);
    for (uint32_t t = 42010; t < 47010; t += 10) {
        glLoadIdentity();
        draw_cube_swarm(t, int(t / 54000));
    }
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(particle_field[i].x, before[i].x);
        EXPECT_EQ(particle_field[i].y, before[i].y);
        EXPECT_LE(particle_field[i].z, -0.9f + 1e-6f);
        EXPECT_GE(particle_field[i].z, -16.5f);
    }
    EXPECT_EQ(std::memcmp(&particle_field[100], &before[100], sizeof(Vec3) * 1400), 0);
}

TEST(CubeSwarm, SpinOnlyForOneAndLeftOnTheMatrix) {
    test_support::start_headless_demo();
    struct Case {
        int spin;
        uint32_t time;
    };
    for (const Case& c : {Case{0, 60000}, Case{1, 60000}, Case{2, 60000}, Case{1, 54000}}) {
        glLoadIdentity();
        draw_cube_swarm(c.time, c.spin);
        GLfloat m[16];
        modelview(m);
        double expected[16];
        rotation(c.spin == 1 ? c.time * 0.1 : 0.0, 0, 0, 1, expected);
        expect_matrix(m, expected, c.spin == 1 ? "spin 1" : "no spin");
    }
}

TEST(TubeSurface, LeavesTheLastQuadsNormalCurrent) {
    // The next lit primitive without a normal of its own (a caption stroke) takes it.
    test_support::start_headless_demo();
    for (int mode : {0, 1}) {
        glNormal3f(0.0f, 0.0f, 1.0f);
        draw_tube_surface(1000, mode);
        Vec3 corners[4], last;
        tube_quad(mode, 160 - 100 * mode, 40, corners, last);
        GLfloat n[3];
        glGetFloatv(GL_CURRENT_NORMAL, n);
        EXPECT_FLOAT_EQ(n[0], last.x) << "mode " << mode;
        EXPECT_FLOAT_EQ(n[1], last.y) << "mode " << mode;
        EXPECT_FLOAT_EQ(n[2], last.z) << "mode " << mode;
    }
}

// ---------------------------------------------------------------------------------------------
// Backdrop

TEST(Backdrop, LeavesSlotOnesGenerationOnAndTheMatrixAtIdentity) {
    test_support::start_headless_demo();
    glLoadIdentity();
    bind_texture_slot(1);
    draw_particle_backdrop(24000);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_T));
    GLfloat m[16];
    modelview(m);
    double identity[16];
    rotation(0.0, 0, 0, 1, identity);
    expect_matrix(m, identity, "after the backdrop");
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.5f);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
    EXPECT_FLOAT_EQ(colour[2], 1.0f);
}
