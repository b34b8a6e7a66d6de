// The fixed-function layer's shader programs and the GPU bindings its draws share: the fragment
// shader (one source built four ways), program building, and the program, vertex array and
// array buffer last bound, so that the batch and the GPU arrays each rebind only what the other
// changed. Main thread only, with the ES 3 context current.
#include <cstdio>

#include "platform/glfixed/state.h"

namespace glfixed {
namespace {

const char* const kVersion = "#version 300 es\n";
// What every vertex shader hands the one fragment shader (the batch's and the GPU arrays').
const char* const kVertexOutputs = R"(
out vec4 smooth_colour;
out vec2 smooth_texcoord;
flat out vec4 raster_colour;
flat out vec2 raster_texcoord;
out vec2 glyph_texel;
)";

// Everything per vertex arrives finished from either vertex shader; the fragment stage
// modulates with the texture and, for bitmap fragments, keeps the raster position's colour and
// texture coordinates (flat) and drops the fragments of the bitmap's zero bits. Compiled with
// BITMAPS and TEXTURED defined to 0 or 1: a shader that chose at run time would run slower on
// every fragment (llvmpipe by some 70 %).
const char* const kFragmentShader = R"(
precision highp float;
uniform sampler2D picture_texture;
uniform sampler2D glyph_atlas;
in vec4 smooth_colour;
in vec2 smooth_texcoord;
flat in vec4 raster_colour;
flat in vec2 raster_texcoord;
in vec2 glyph_texel;
out vec4 fragment;
void main() {
#if BITMAPS
    if (texelFetch(glyph_atlas, ivec2(glyph_texel), 0).r < 0.5) discard;
#if TEXTURED
    // Constant coordinates have no footprint: GL takes the magnification filter, as level 0 does.
    fragment = raster_colour * textureLod(picture_texture, raster_texcoord, 0.0);
#else
    fragment = raster_colour;
#endif
#elif TEXTURED
    fragment = smooth_colour * texture(picture_texture, smooth_texcoord);
#else
    fragment = smooth_colour;
#endif
}
)";

struct Bound {
    GLuint program;
    GLuint vertex_array;
    GLuint array_buffer;
};
Bound bound;

bool compile(GLuint shader, const char* defines, const char* source, const char* what) {
    const char* const parts[] = {kVersion, defines, source};
    es.ShaderSource(shader, 3, parts, nullptr);
    es.CompileShader(shader);
    GLint ok = GL_FALSE;
    es.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE) return true;
    static char log[1024];
    es.GetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "demo: the layer's %s shader does not compile: %s\n", what, log);
    return false;
}

}  // namespace

GLuint build_program(const char* vertex_source, bool bitmaps, bool textured) {
    const GLuint vertex_shader = es.CreateShader(GL_VERTEX_SHADER);
    if (!compile(vertex_shader, kVertexOutputs, vertex_source, "vertex")) return 0;
    const char* const kinds[4] = {
        "#define BITMAPS 0\n#define TEXTURED 0\n", "#define BITMAPS 0\n#define TEXTURED 1\n",
        "#define BITMAPS 1\n#define TEXTURED 0\n", "#define BITMAPS 1\n#define TEXTURED 1\n"};
    const GLuint fragment_shader = es.CreateShader(GL_FRAGMENT_SHADER);
    if (!compile(fragment_shader, kinds[(bitmaps ? 2 : 0) + (textured ? 1 : 0)], kFragmentShader, "fragment"))
        return 0;
    const GLuint program = es.CreateProgram();
    es.AttachShader(program, vertex_shader);
    es.AttachShader(program, fragment_shader);
    es.LinkProgram(program);
    GLint linked = GL_FALSE;
    es.GetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        static char log[1024];
        es.GetProgramInfoLog(program, sizeof log, nullptr, log);
        std::fprintf(stderr, "demo: the layer's shaders do not link: %s\n", log);
        return 0;
    }
    use_program(program);
    es.Uniform1i(es.GetUniformLocation(program, "picture_texture"), 0);
    es.Uniform1i(es.GetUniformLocation(program, "glyph_atlas"), 1);
    return program;
}

void use_program(GLuint program) {
    if (program != bound.program) es.UseProgram(program);
    bound.program = program;
}

void bind_vertex_array(GLuint vertex_array) {
    if (vertex_array != bound.vertex_array) es.BindVertexArray(vertex_array);
    bound.vertex_array = vertex_array;
}

void bind_array_buffer(GLuint buffer) {
    if (buffer != bound.array_buffer) es.BindBuffer(GL_ARRAY_BUFFER, buffer);
    bound.array_buffer = buffer;
}

// Only level 0 is ever uploaded (no mipmaps are built), so a texture is complete when it has that
// image and a filter that wants no more.
bool bound_texture_complete() {
    const Textures& t = state.textures;
    if (t.bound >= kTrackedTextures) return true;
    return t.has_image[t.bound] && t.unmipmapped[t.bound];
}

}  // namespace glfixed
