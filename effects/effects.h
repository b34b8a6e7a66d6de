// The visual effects: the demo random generator, the two procedural textures and the particle
// field, the particle backdrop, the cube swarm and the tube surface. Main thread only.
#pragma once

#include <cstdint>

struct Vec3 {
    float x, y, z;
};

constexpr int kParticleCount = 1500;

extern uint32_t demo_rand_state;
extern Vec3 particle_field[kParticleCount];

// Backdrop parameters: owned by the backdrop, written by the scene script.
extern float backdrop_angle_divisor;  // ms per radian of circling
extern float backdrop_scale_x;
extern float backdrop_scale_y;

// One step of the shared generator: bits 10 to 24 of the new state, 0..32767.
int demo_rand();
// Both textures and the particle field; the first user of the generator. Leaves slot 0 bound.
void init_textures_and_particles();
// Slot 0 noise, slot 1 disc: binds the texture and turns on its object-linear S and T planes.
void bind_texture_slot(int slot);
void draw_particle_backdrop(uint32_t time);
void draw_cube();
void draw_cube_swarm(uint32_t time, int spin);
void draw_tube_surface(uint32_t time, int mode);

// One quad of the tube surface at row i, column j: its corners P0..P3 in drawing order and its
// unnormalised face normal, exactly as draw_tube_surface issues them.
void tube_quad(int mode, int row, int column, Vec3 corners[4], Vec3& normal);
