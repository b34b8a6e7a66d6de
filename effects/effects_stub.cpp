// Temporary: no effects drawn until they land.
#include "effects/effects.h"
float backdrop_angle_divisor = 1500.0f;
float backdrop_scale_x = 1.0f;
float backdrop_scale_y = 1.0f;
void draw_particle_backdrop(uint32_t) {}
void draw_cube() {}
void draw_cube_swarm(uint32_t, int) {}
void draw_tube_surface(uint32_t, int) {}
