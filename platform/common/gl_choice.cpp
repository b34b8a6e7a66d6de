// Choosing and starting the GL the SDL2 and headless backends draw with. Main thread.
#include "platform/common/gl_choice.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace gl_choice {
namespace {

// Runs in the executable (this library is linked statically), so the next definition of a GL
// 1.1 name after the executable's own, the layer's entry point, is the real library's.
void* legacy_function(const char* name) { return dlsym(RTLD_NEXT, name); }

}  // namespace

bool parse(const char* name, Gl* gl) {
    if (std::strcmp(name, "layer") == 0) {
        *gl = Gl::layer;
        return true;
    }
    if (std::strcmp(name, "legacy") == 0) {
        *gl = Gl::legacy;
        return true;
    }
    return false;
}

bool from_environment(Gl* gl) {
    const char* choice = std::getenv("DEMO_GL");
    if (choice == nullptr || *choice == '\0') {
        *gl = Gl::layer;
        return true;
    }
    return parse(choice, gl);
}

bool start_legacy() { return glfixed::pass_through(legacy_function); }

}  // namespace gl_choice
