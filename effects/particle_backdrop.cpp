// The particle backdrop: the 1,500 points of the particle field as unit squares of the disc
// texture, each circling its own centre ten units in front of the viewer. Main thread, every
// frame of the first 40 seconds.
//
// The caller sets additive blending and slot 1; the squares issue no normal, so whether they
// are lit is whatever lighting the previous frame left on.
//
// All 1,500 squares go in one quad list with each translation folded into the corners, rather
// than a begin/end pair and a matrix per square: a separate draw per square cost more than
// the squares themselves. The disc must still cover each square once, so the coordinates that
// slot 1's planes (s = x, t = y) would generate from the untranslated corners are given as they
// are, with generation off for the list.
#include <cmath>

#include "effects/effects.h"
#include "platform/gl.h"

float backdrop_angle_divisor = 1500.0f;  // ms per radian of circling
float backdrop_scale_x = 1.0f;           // factor on every final x
float backdrop_scale_y = 1.0f;           // factor on every final y

namespace {

constexpr double kCircleRadius = 16.0;  // object units around each particle's centre
constexpr float kPlaneDepth = -10.0f;   // eye-space z of every square

}  // namespace

void draw_particle_backdrop(uint32_t time) {
    glColor4f(0.5f, 0.5f, 1.0f, 0.0f);  // light blue; alpha is irrelevant under additive blending
    const float tf = float(time);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glBegin(GL_QUADS);
    for (const Vec3& p : particle_field) {
        // QUIRK: z is a phase in radians, not a depth; every square lies in the one plane.
        const double a = double(tf / backdrop_angle_divisor) + double(p.z);
        // The corner the translation would move (0, 0, 0) to; the caller leaves identity.
        const float x = float(backdrop_scale_x * (double(p.x) + kCircleRadius * std::sin(a)));
        const float y = float(backdrop_scale_y * (double(p.y) + kCircleRadius * std::cos(a)));
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(x, y, kPlaneDepth);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(x, y + 1.0f, kPlaneDepth);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(x + 1.0f, y + 1.0f, kPlaneDepth);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(x + 1.0f, y, kPlaneDepth);
    }
    glEnd();
    // Back to what the caller set: slot 1's planes generating S and T. The current texture
    // coordinate stays (1, 0); the caption strokes set their own before anything reads it.
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
}
