// The cube swarm: 100 small tumbling cubes flying towards the viewer in the fixed lanes of the
// first 100 particles, sent back to the far end when they come close. Main thread, every frame
// of the swarm's script windows.
//
// The caller sets the colour, lighting, depth test and slot 0; the cube sets only two normals.
#include "effects/effects.h"
#include "platform/gl.h"

namespace {

constexpr int kSwarmSize = 100;              // cubes: particle_field entries 0..99
constexpr float kCubeSide = 0.5f;            // object units
constexpr float kNearestDepth = -1.0f;       // eye z; a cube above this is sent back
constexpr float kRespawnFar = -15.0f;        // eye z of a respawn drawing 0
constexpr float kRespawnStep = 0.00025f;     // eye z per generator unit: 32767 lands at -6.80825
constexpr float kAdvancePerCall = 0.1f;      // eye z per frame, whatever the frame rate
constexpr float kLaneScale = 0.3f;           // on a particle's x and y only
constexpr double kDegreesPerMs = 0.1;        // tumble and spin: 100 degrees a second

static_assert(kSwarmSize <= kParticleCount, "the swarm's lanes are particles");

}  // namespace

void draw_cube() {
    constexpr float s = kCubeSide;
    glBegin(GL_QUADS);
    // QUIRK: the first face sets no normal of its own; it takes the previous cube's (0, -1, 0).
    glVertex3f(0, 0, 0); glVertex3f(0, s, 0); glVertex3f(s, s, 0); glVertex3f(s, 0, 0);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(0, 0, s); glVertex3f(0, s, s); glVertex3f(s, s, s); glVertex3f(s, 0, s);
    glVertex3f(0, 0, 0); glVertex3f(0, s, 0); glVertex3f(0, s, s); glVertex3f(0, 0, s);
    glVertex3f(s, 0, 0); glVertex3f(s, s, 0); glVertex3f(s, s, s); glVertex3f(s, 0, s);
    glNormal3f(0.0f, -1.0f, 0.0f);
    glVertex3f(0, 0, 0); glVertex3f(0, 0, s); glVertex3f(s, 0, s); glVertex3f(s, 0, 0);
    glVertex3f(0, s, 0); glVertex3f(0, s, s); glVertex3f(s, s, s); glVertex3f(s, s, 0);
    glEnd();
}

void draw_cube_swarm(uint32_t time, int spin) {
    const float angle = float(double(time) * kDegreesPerMs);
    // QUIRK: no push/pop around the spin; it stays on the caller's matrix until the frame
    // loop's identity reset.
    if (spin == 1) glRotatef(angle, 0.0f, 0.0f, 1.0f);
    for (int i = 0; i < kSwarmSize; ++i) {
        Vec3& p = particle_field[i];
        // QUIRK: the depths live on in particle_field (z of entries 0..99) from call to call.
        if (p.z > kNearestDepth) p.z = float(demo_rand()) * kRespawnStep + kRespawnFar;
        p.z = p.z + kAdvancePerCall;
        glPushMatrix();
        glTranslatef(kLaneScale * p.x, kLaneScale * p.y, p.z);
        glRotatef(angle, 1.0f, 1.0f, 4.0f);  // about the cube's corner, not its centre
        draw_cube();
        glPopMatrix();
    }
}
