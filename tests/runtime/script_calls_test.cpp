// The scene script at frame level: for a table of scene times, the placement and colour calls
// that render_frame makes (glTranslatef, glRotatef and glColor4f seen on their way through the
// GL entry points' pass-through to legacy GL), against the script's windows, both ends exclusive, and its worked values: the
// swarm with each cube in its lane, the spin from 54 s, the tube's flight and the coil's rocking.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "effects/effects.h"
#include "platform/gl.h"
#include "platform/glfixed/glfixed.h"
#include "runtime/runtime.h"
#include "tests/support/headless_demo.h"

namespace {

struct GlCall {
    char kind;  // 't' translate, 'r' rotate, 'c' colour
    float v[4];
};

bool recording;
std::vector<GlCall> calls;

void (*real_translate)(GLfloat, GLfloat, GLfloat);
void (*real_rotate)(GLfloat, GLfloat, GLfloat, GLfloat);
void (*real_colour)(GLfloat, GLfloat, GLfloat, GLfloat);

void watched_translate(GLfloat x, GLfloat y, GLfloat z) {
    if (recording) calls.push_back({'t', {x, y, z, 0.0f}});
    real_translate(x, y, z);
}
void watched_rotate(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    if (recording) calls.push_back({'r', {angle, x, y, z}});
    real_rotate(angle, x, y, z);
}
void watched_colour(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    if (recording) calls.push_back({'c', {r, g, b, a}});
    real_colour(r, g, b, a);
}

// The legacy GL functions, the three placement and colour calls seen on their way.
void* watching_loader(const char* name) {
    void* real = dlsym(RTLD_NEXT, name);
    const std::string n = name;
    if (n == "glTranslatef") {
        real_translate = reinterpret_cast<decltype(real_translate)>(real);
        return reinterpret_cast<void*>(&watched_translate);
    }
    if (n == "glRotatef") {
        real_rotate = reinterpret_cast<decltype(real_rotate)>(real);
        return reinterpret_cast<void*>(&watched_rotate);
    }
    if (n == "glColor4f") {
        real_colour = reinterpret_cast<decltype(real_colour)>(real);
        return reinterpret_cast<void*>(&watched_colour);
    }
    return real;
}

}  // namespace

namespace {

std::string text(const char* format, double a, double b = 0, double c = 0, double d = 0) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, a, b, c, d);
    return buffer;
}

// The calls of one frame in words, after the fade quad's colour: the hundred translate-and-turn
// pairs of the swarm become one "cubes" line with their shared angle (each cube's translation
// is checked on its own); a last call that turns about (0, 0, 1) or (1, 0, 1) is the tube
// surface's own turn (its angle belongs to the surface).
std::string describe(const std::vector<GlCall>& frame, std::vector<GlCall>* cube_moves) {
    std::string out;
    for (size_t i = 1; i < frame.size(); ++i) {
        const GlCall& c = frame[i];
        if (c.kind == 't' && i + 1 < frame.size() && frame[i + 1].kind == 'r' && frame[i + 1].v[1] == 1.0f &&
            frame[i + 1].v[2] == 1.0f && frame[i + 1].v[3] == 4.0f) {
            size_t n = 0;
            const float angle = frame[i + 1].v[0];
            while (i + 1 < frame.size() && frame[i].kind == 't' && frame[i + 1].kind == 'r' && frame[i + 1].v[0] == angle) {
                cube_moves->push_back(frame[i]);
                i += 2;
                ++n;
            }
            --i;
            out += text("cubes %.0f turned %.2f about (1,1,4)\n", double(n), double(angle));
        } else if (c.kind == 'r' && i + 1 == frame.size() && c.v[2] == 0.0f && c.v[3] == 1.0f) {
            out += text("surface turn about (%.0f,0,1)\n", double(c.v[1]));
        } else if (c.kind == 't') {
            out += text("translate (%.2f, %.2f, %.2f)\n", double(c.v[0]), double(c.v[1]), double(c.v[2]));
        } else if (c.kind == 'r') {
            out += text("rotate %.2f about (%.0f,%.0f,%.0f)\n", double(c.v[0]), double(c.v[1]), double(c.v[2]),
                        double(c.v[3]));
        } else {
            out += text("colour (%.2f, %.2f, %.2f, %.2f)\n", double(c.v[0]), double(c.v[1]), double(c.v[2]),
                        double(c.v[3]));
        }
    }
    return out;
}

// What the script asks for at t, worked out from its table.
std::string expected_at(uint32_t t) {
    const bool swarm = (42000 < t && t < 60500) || (61500 < t && t < 63500) || (64500 < t && t < 66500);
    std::string out;
    if (t < 40000) out += "colour (0.50, 0.50, 1.00, 0.00)\n";  // the backdrop's own light blue
    if (swarm) {
        out += "colour (1.50, 0.75, 0.00, 0.00)\n";
        if (t >= 54000) out += text("rotate %.2f about (0,0,1)\n", t * 0.1);  // the whole swarm's spin
        out += text("cubes 100 turned %.2f about (1,1,4)\n", t * 0.1);
    }
    if (70000 < t && t < 78000) {
        out += text("translate (0.00, 0.00, %.2f)\n", 0.05 * (double(t) - 71000.0) - 330.0);
        out += "colour (0.10, 0.10, 0.80, 0.00)\nsurface turn about (0,0,1)\n";
    }
    if (t > 78000) {
        out += "translate (0.00, 0.00, -10.00)\n";
        out += text("rotate %.2f about (1,0,0)\n", 100.0 * std::sin(0.002 * t));
        out += "colour (0.50, 0.00, 1.00, 0.00)\n";
        out += "surface turn about (1,0,1)\n";
    }
    return out;
}

}  // namespace

TEST(ScriptCalls, EachWindowMakesItsCallsAndNothingOutsideIt) {
    // In the order the live loop meets them, around every bound of the script (exclusive at
    // both ends), none inside a caption window.
    const uint32_t times[] = {39999, 40000, 41000, 42000, 42001, 50000, 53999, 54000, 56000, 60499, 60500,
                              61000, 61500, 61501, 63499, 63500, 64000, 64500, 64501, 66499, 66500, 69999,
                              70000, 70001, 71000, 75000, 77999, 78000, 78001, 79000, 80000, 82000, 82001};
    test_support::start_headless_demo();
    ASSERT_TRUE(glfixed::pass_through(watching_loader));
    for (uint32_t t : times) {
        SCOPED_TRACE(testing::Message() << "t = " << t);
        calls.clear();
        recording = true;
        const bool presented = test_support::render_at(t);
        recording = false;
        EXPECT_EQ(presented, t <= 82000u);

        std::vector<GlCall> cube_moves;
        EXPECT_EQ(describe(calls, &cube_moves), expected_at(t));
        // Each cube in its own lane at its advanced depth: (0.3 x, 0.3 y, z).
        std::string misplaced;
        for (size_t i = 0; i < cube_moves.size() && i < 100; ++i) {
            const Vec3& p = particle_field[i];
            const GlCall& m = cube_moves[i];
            if (m.v[0] != 0.3f * p.x || m.v[1] != 0.3f * p.y || m.v[2] != p.z)
                misplaced += text("cube %.0f at (%.3f, %.3f, %.3f)", double(i), double(m.v[0]), double(m.v[1]),
                                  double(m.v[2])) + text(" for lane (%.3f, %.3f) depth %.3f; ", double(p.x),
                                                         double(p.y), double(p.z));
        }
        EXPECT_EQ(misplaced.substr(0, 400), "");
    }
}
