// The parametric tube surface: mode 0 the rippled tube flown through, mode 1 the coil spinning
// in front of the viewer. Main thread, every frame from 70 seconds on.
//
// One grid of quads, each with its own face normal for the fixed-function light. The caller
// places the surface and sets its colour; slot 0's planes pattern it from the object corners.
// Time enters only through the spin, so each mode's grid is evaluated once, on its first call,
// into vertex arrays that repeat every quad's normal at its four corners.
#include <cmath>

#include "effects/effects.h"
#include "platform/gl.h"

namespace {

constexpr int kLastColumn = 40;             // columns 0..40 in both modes
constexpr int kLastRowMode0 = 160;          // rows 0..160 - 100 * mode
constexpr int kRowsLessPerMode = 100;       // rows fewer per step of mode: 61 for the coil
constexpr float kParamStep = 0.2f;          // radians of u or v per column or row
constexpr double kNormalScale = -5.0;       // times (1 - 2 * mode): inwards for the tube
constexpr double kDegreesPerMs = 0.02;      // spin: a quarter turn in 4,500 ms

// Column offset of corner c is corner_offsets[c], row offset corner_offsets[(c + 1) % 4]:
// corners (j, i), (j, i + 1), (j + 1, i + 1), (j + 1, i).
const int corner_offsets[4] = {0, 0, 1, 1};

Vec3 quad_corners[4];  // scratch: the quad being built

constexpr int kColumns = kLastColumn + 1;
constexpr int kQuadsMode0 = (kLastRowMode0 + 1) * kColumns;                     // 6,601
constexpr int kQuadsMode1 = (kLastRowMode0 - kRowsLessPerMode + 1) * kColumns;  // 2,501
static_assert(kQuadsMode0 == 6601 && kQuadsMode1 == 2501, "grid sizes of the tube and coil");
static_assert(sizeof(Vec3) == 3 * sizeof(GLfloat), "Vec3 arrays feed GL's vertex arrays");

// Per mode: four corners per quad in drawing order, and the quad's normal at each of them.
Vec3 tube_vertices[kQuadsMode0 * 4];
Vec3 tube_normals[kQuadsMode0 * 4];
Vec3 coil_vertices[kQuadsMode1 * 4];
Vec3 coil_normals[kQuadsMode1 * 4];
bool grid_built[2];

Vec3 surface_point(int mode, float u, float v) {
    if (mode == 0) {  // a rippled circle of radius 2 + v about an axis circling z at radius 1
        const double w = 2.0 + double(v) + std::sin(10.0 * double(u));
        return {float(w * std::sin(double(u)) + std::cos(double(v))),
                float(w * std::cos(double(u)) + std::sin(double(v))), float(10.0 * double(v))};
    }
    // An ellipse with half-axes 2 and 3 swept along a helix of radius 4 rising 1 per radian.
    const double phi = double(v) - 10.0;
    const double r = 2.0 + std::cos(double(u));
    return {float(2.0 * r * std::cos(phi)), float(2.0 * r * std::sin(phi)),
            float(phi + 3.0 * std::sin(double(u)))};
}

// Fills quad_corners for row i, column j and returns the face normal.
Vec3 build_quad(int mode, int i, int j) {
    for (int c = 0; c < 4; ++c) {
        const float u = kParamStep * float(j + corner_offsets[c]);
        const float v = kParamStep * float(i + corner_offsets[(c + 1) % 4]);
        quad_corners[c] = surface_point(mode, u, v);
    }
    const Vec3& p0 = quad_corners[0];
    const Vec3& p1 = quad_corners[1];
    const Vec3& p2 = quad_corners[2];
    const double ax = double(p1.x) - p0.x, ay = double(p1.y) - p0.y, az = double(p1.z) - p0.z;
    const double bx = double(p2.x) - p0.x, by = double(p2.y) - p0.y, bz = double(p2.z) - p0.z;
    // QUIRK: left unnormalised, five times the quad's area, so big quads are lit harder; the
    // sign turns it inwards for the tube and outwards for the coil.
    const double k = double(1 - 2 * mode) * kNormalScale;
    return {float(k * (ay * bz - az * by)), float(k * (az * bx - ax * bz)),
            float(k * (ax * by - ay * bx))};
}

void build_grid(int mode, Vec3* vertices, Vec3* normals) {
    const int last_row = kLastRowMode0 - kRowsLessPerMode * mode;
    int at = 0;
    for (int i = 0; i <= last_row; ++i) {
        for (int j = 0; j <= kLastColumn; ++j) {
            const Vec3 n = build_quad(mode, i, j);
            for (const Vec3& p : quad_corners) {
                vertices[at] = p;
                normals[at] = n;
                ++at;
            }
        }
    }
    grid_built[mode] = true;
}

}  // namespace

void tube_quad(int mode, int row, int column, Vec3 corners[4], Vec3& normal) {
    normal = build_quad(mode, row, column);
    for (int c = 0; c < 4; ++c) corners[c] = quad_corners[c];
}

void draw_tube_surface(uint32_t time, int mode) {
    // QUIRK: no push/pop; the spin stays on the caller's matrix until the identity reset.
    glRotatef(float(double(time) * kDegreesPerMs), float(mode), 0.0f, 1.0f);
    // Above mode 1 the grid has no rows (160 - 100 * mode < 0): only the spin remains.
    if (mode != 0 && mode != 1) return;
    Vec3* vertices = mode == 0 ? tube_vertices : coil_vertices;
    Vec3* normals = mode == 0 ? tube_normals : coil_normals;
    const int count = 4 * (mode == 0 ? kQuadsMode0 : kQuadsMode1);
    if (!grid_built[mode]) build_grid(mode, vertices, normals);

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    glNormalPointer(GL_FLOAT, 0, normals);
    glDrawArrays(GL_QUADS, 0, count);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    // Drawing from arrays leaves the current normal undefined; keep the last quad's, as a
    // quad-by-quad list would, for whatever is drawn lit next without a normal of its own.
    glNormal3f(normals[count - 1].x, normals[count - 1].y, normals[count - 1].z);
}
