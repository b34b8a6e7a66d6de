// The fixed-function layer's vertex stage, as OpenGL 1.1 defines it: modelview-projection, light
// 0 (directional) with the global ambient light and colour material, object-linear texture
// generation, clamping. Main thread only.
#include <cmath>

#include "platform/glfixed/state.h"

namespace glfixed {
namespace {

const Vec4 kGlobalAmbient = {{0.2f, 0.2f, 0.2f, 1.0f}};

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// Light 0 and the global ambient light on the material (or the colour, under colour material),
// the normal taken as it is: GL_NORMALIZE is never on, so its length scales the diffuse term.
void light(const float* normal, float* colour) {
    const Lighting& l = state.lighting;
    const Vec4& c = state.current.colour;
    const Vec4& ambient = state.enables.colour_material ? c : l.material_ambient;
    const Vec4& diffuse = state.enables.colour_material ? c : l.material_diffuse;
    float lit[3];
    for (int k = 0; k < 3; ++k) lit[k] = ambient.v[k] * kGlobalAmbient.v[k];
    if (state.enables.light0) {
        const float* n = state.matrices.normal_matrix;
        const float ex = n[0] * normal[0] + n[1] * normal[1] + n[2] * normal[2];
        const float ey = n[3] * normal[0] + n[4] * normal[1] + n[5] * normal[2];
        const float ez = n[6] * normal[0] + n[7] * normal[1] + n[8] * normal[2];
        float facing = ex * l.light0_direction[0] + ey * l.light0_direction[1] + ez * l.light0_direction[2];
        if (facing < 0.0f) facing = 0.0f;
        for (int k = 0; k < 3; ++k) lit[k] += ambient.v[k] * l.light0_ambient.v[k] + facing * diffuse.v[k] * l.light0_diffuse.v[k];
    }
    for (int k = 0; k < 3; ++k) colour[k] = clamp01(lit[k]);
    colour[3] = clamp01(diffuse.v[3]);  // alpha is the diffuse material's, untouched by light
}

float plane_value(const Vec4& plane, float x, float y, float z) {
    return plane.v[0] * x + plane.v[1] * y + plane.v[2] * z + plane.v[3];
}

}  // namespace

void shade(float x, float y, float z, const float* normal, float* position, float* colour, Vec4& texcoord) {
    refresh_derived();
    const float* p = state.matrices.model_view_projection.m;
    for (int r = 0; r < 4; ++r) position[r] = p[r] * x + p[4 + r] * y + p[8 + r] * z + p[12 + r];
    // A vertex on the near plane is inside the view volume in GL; after another implementation's
    // rounding (or a depth-range remap to 0..w) it may land just outside and a fade quad there
    // would vanish. Move such vertices a hair inside.
    const float w = position[3];
    if (w > 0.0f && std::fabs(position[2] + w) <= w * 1e-5f) position[2] = -w + w * (1.0f / 1048576.0f);

    if (state.enables.lighting) {
        light(normal, colour);
    } else {
        for (int k = 0; k < 4; ++k) colour[k] = clamp01(state.current.colour.v[k]);
    }

    const TexGen& g = state.texgen;
    texcoord = state.current.texcoord;
    if (state.enables.generate_s && g.mode_s == GL_OBJECT_LINEAR) texcoord.v[0] = plane_value(g.plane_s, x, y, z);
    if (state.enables.generate_t && g.mode_t == GL_OBJECT_LINEAR) texcoord.v[1] = plane_value(g.plane_t, x, y, z);
}

ShadingTerms shading_terms() {
    ShadingTerms t{};
    const Lighting& l = state.lighting;
    const Vec4& c = state.current.colour;
    if (state.enables.lighting) {
        // As light() adds it up, with what does not depend on the normal gathered in base.
        const Vec4& ambient = state.enables.colour_material ? c : l.material_ambient;
        const Vec4& diffuse = state.enables.colour_material ? c : l.material_diffuse;
        for (int k = 0; k < 3; ++k) {
            t.base[k] = ambient.v[k] * kGlobalAmbient.v[k];
            if (!state.enables.light0) continue;
            t.base[k] += ambient.v[k] * l.light0_ambient.v[k];
            t.diffuse[k] = diffuse.v[k] * l.light0_diffuse.v[k];
        }
        t.base[3] = clamp01(diffuse.v[3]);
    } else {
        for (int k = 0; k < 4; ++k) t.base[k] = clamp01(c.v[k]);
    }

    // A coordinate not generated is the current one: a plane of (0, 0, 0, value).
    const TexGen& g = state.texgen;
    const Vec4& current = state.current.texcoord;
    const float q = current.v[3] != 0.0f ? current.v[3] : 1.0f;
    const bool generate[2] = {state.enables.generate_s && g.mode_s == GL_OBJECT_LINEAR,
                              state.enables.generate_t && g.mode_t == GL_OBJECT_LINEAR};
    const Vec4* planes[2] = {&g.plane_s, &g.plane_t};
    float* out[2] = {t.plane_s, t.plane_t};
    for (int i = 0; i < 2; ++i) {
        for (int k = 0; k < 4; ++k) out[i][k] = generate[i] ? planes[i]->v[k] / q : 0.0f;
        if (!generate[i]) out[i][3] = current.v[i] / q;
    }
    return t;
}

}  // namespace glfixed
