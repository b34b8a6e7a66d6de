// The SDL2 backend's GL context and the choice between the fixed-function layer and legacy GL.
// Main thread.
#include "platform/sdl2/sdl2_gl.h"

#include <cstdio>

#include "platform/common/gl_choice.h"
#include "platform/common/process.h"
#include "platform/glfixed/glfixed.h"
#include "platform/sdl2/sdl2_player.h"

gl_choice::Gl sdl2_player::gl = gl_choice::Gl::layer;

namespace {

// What the layer draws with: an ES 3 context, or failing that a GL 3.3 core one (whose drivers
// take the layer's ES 3 shaders through ARB_ES3_compatibility).
struct ContextKind {
    int profile, major, minor;
};
constexpr ContextKind kLayerContexts[] = {
    {SDL_GL_CONTEXT_PROFILE_ES, 3, 0},
    {SDL_GL_CONTEXT_PROFILE_CORE, 3, 3},
};
// No profile and SDL's default version: a legacy context, where glBegin and glBitmap are valid.
constexpr ContextKind kLegacyContext = {0, 2, 1};

void ask_for(const ContextKind& kind) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, kind.profile);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, kind.major);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, kind.minor);
}

void* es_function(const char* name) { return SDL_GL_GetProcAddress(name); }

// A context of this kind with the layer started on it, or null (and no context) if either fails.
SDL_GLContext layer_context(SDL_Window* window, const ContextKind& kind) {
    ask_for(kind);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) return nullptr;
    if (glfixed::start(es_function)) return context;
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(context);
    return nullptr;
}

}  // namespace

namespace sdl2_gl {

void request_context() { ask_for(sdl2_player::gl == gl_choice::Gl::layer ? kLayerContexts[0] : kLegacyContext); }

SDL_GLContext create_context(SDL_Window* window) {
    if (sdl2_player::gl == gl_choice::Gl::layer) {
        for (const ContextKind& kind : kLayerContexts)
            if (SDL_GLContext context = layer_context(window, kind)) return context;
        std::fprintf(stderr, "demo: no OpenGL ES 3 or OpenGL 3.3 context here; drawing with legacy OpenGL\n");
    }
    ask_for(kLegacyContext);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) process::fail("cannot create an OpenGL context", SDL_GetError());
    if (!gl_choice::start_legacy()) process::fail("the GL library lacks a legacy function");
    return context;
}

}  // namespace sdl2_gl
