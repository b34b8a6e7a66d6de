// Which GL the SDL2 and headless backends draw with: the fixed-function layer on an OpenGL ES 3
// (or GL 3.3 core) context, the default, or the driver's legacy immediate-mode GL. The demo's
// GL 1.1 calls go to the layer's entry points either way; with legacy GL those pass every call
// through to the real library. Main thread, with the context current where it says so.
#pragma once

#include "platform/glfixed/glfixed.h"

namespace gl_choice {

enum class Gl { layer, legacy };

// "layer" or "legacy"; false for anything else.
bool parse(const char* name, Gl* gl);
// DEMO_GL: unset or empty means the layer; false when set to something parse() refuses.
bool from_environment(Gl* gl);
// What the line that refuses another value says.
constexpr const char* kRefusal = "must be \"layer\" or \"legacy\"";

// The layer itself starts with glfixed::start().
// With a legacy (compatibility) context current: the entry points call the real GL and GLU
// functions, the next definitions after this program's own. False, with one line on stderr,
// if the library lacks one.
bool start_legacy();

}  // namespace gl_choice
