// The demo random generator, the two procedural luminance textures (slot 0 noise, slot 1 disc)
// with their texture-coordinate planes, and the particle field. Main thread: built once at
// start-up, textures bound every frame.
//
// Both textures pass through one static 64 KiB buffer, and the generator is consumed in a fixed
// sequence from state 0, so the order of the steps in init_textures_and_particles is the picture.
#include <cmath>

#include "effects/effects.h"
#include "platform/gl.h"

uint32_t demo_rand_state;  // 0 at program start
Vec3 particle_field[kParticleCount];

namespace {

constexpr uint32_t kRandMultiplier = 214013;   // linear congruential step, modulo 2^32
constexpr uint32_t kRandIncrement = 2531011;
constexpr int kTextureSize = 256;              // texels per side of both textures
constexpr int kDiscRadius = 128;               // texels; the disc is zero from here outwards
constexpr int kParticleOffset = 16484;         // generator units; not 16384, so the cloud sits low
constexpr float kParticleScale = 0.001f;       // object units per generator unit

GLuint texture_names[2];  // index = texture slot
uint8_t texture_work_buffer[kTextureSize * kTextureSize];
static_assert(sizeof(texture_work_buffer) == 65536, "one 256 x 256 luminance texture");

// Object-linear planes (a, b, c, d) per slot: coordinate = a x + b y + c z + d w.
//                                    a     b     c     d
const GLfloat texgen_s_planes[2][4] = {{0.1f, 0.0f, 0.0f, 0.0f},   // slot 0: repeats every 10 units
                                       {1.0f, 0.0f, 0.0f, 0.0f}};  // slot 1: once over the unit square
const GLfloat texgen_t_planes[2][4] = {{0.0f, 0.1f, 0.0f, 0.0f},
                                       {0.0f, 1.0f, 0.0f, 0.0f}};

void upload_work_buffer(GLuint name) {
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);  // no mipmaps are built
    glTexImage2D(GL_TEXTURE_2D, 0, 1, kTextureSize, kTextureSize, 0, GL_LUMINANCE,
                 GL_UNSIGNED_BYTE, texture_work_buffer);
}

// A ring of falling brightness: 254 next to the centre, 2 at radius 127, 0 at the centre itself.
void build_disc() {
    for (int y = -kDiscRadius; y < kDiscRadius; ++y) {
        for (int x = -kDiscRadius; x < kDiscRadius; ++x) {
            const long r = std::lrint(std::sqrt(double(x * x + y * y)));
            if (r < kDiscRadius) {
                texture_work_buffer[(y + kDiscRadius) * kTextureSize + (x + kDiscRadius)] =
                    uint8_t((256 - 2 * r) % 256);
            }
        }
    }
}

// Each texel is half its predecessor plus a random 0..127, so runs are smoothed along rows and
// on from one row's end into the next row's start. Texel 0 keeps the disc's centre, 0.
void build_noise() {
    for (int k = 1; k < kTextureSize * kTextureSize; ++k) {
        texture_work_buffer[k] =
            uint8_t((texture_work_buffer[k - 1] >> 1) + (demo_rand() >> 8));
    }
}

void build_particle_field() {
    for (Vec3& p : particle_field) {
        p.x = float(demo_rand() - kParticleOffset) * kParticleScale;
        p.y = float(demo_rand() - kParticleOffset) * kParticleScale;
        p.z = float(demo_rand() - kParticleOffset) * kParticleScale;
    }
}

}  // namespace

int demo_rand() {
    demo_rand_state = demo_rand_state * kRandMultiplier + kRandIncrement;
    return int((demo_rand_state >> 10) & 0x7FFF);  // bits 10 to 24, not 16 to 30
}

void init_textures_and_particles() {
    glGenTextures(2, texture_names);
    build_disc();
    upload_work_buffer(texture_names[1]);  // before the noise pass overwrites the buffer
    build_noise();
    upload_work_buffer(texture_names[0]);  // leaves slot 0 bound
    build_particle_field();
}

void bind_texture_slot(int slot) {
    // Both switches every time: the caption strokes turn T generation off.
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGenfv(GL_S, GL_OBJECT_PLANE, texgen_s_planes[slot]);
    glEnable(GL_TEXTURE_GEN_S);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, texgen_t_planes[slot]);
    glEnable(GL_TEXTURE_GEN_T);
    glBindTexture(GL_TEXTURE_2D, texture_names[slot]);
}
