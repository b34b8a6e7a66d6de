// The SDL2 backend's GL context: OpenGL ES 3.0 (or GL 3.3 core where ES is not offered) with
// the demo drawing through the fixed-function layer, or a legacy context when asked for or when
// neither can be made. Main thread.
#pragma once

#include <SDL2/SDL.h>

namespace sdl2_gl {

// Before the window is created: asks for the kind of context tried first, so that a platform
// choosing its surface format with the window (EGL) chooses one that context can use.
void request_context();
// Creates the context on the window, makes it current and points the demo's GL 1.1 calls at the
// layer or at legacy GL. Exits with one line on stderr when no context at all can be had.
SDL_GLContext create_context(SDL_Window* window);

}  // namespace sdl2_gl
