// Web backend: the fixed-function GL layer started on the page's WebGL 2 context, its ES
// functions found among emscripten's own WebGL functions (the emscripten_gl* names, since the
// layer itself defines the plain gl* names). Page main thread.
#include <cstring>

#include "platform/glfixed/glfixed.h"
#include "platform/glfixed/tables.h"
#include "platform/web/web.h"

// Declared here rather than through <webgl/webgl2.h>, whose ES types clash with <GL/gl.h>.
#define WEB_DECLARE(result, loader_name, member, params) extern "C" result emscripten_gl##member params;
GLFIXED_ES_FUNCTIONS(WEB_DECLARE)
#undef WEB_DECLARE

namespace {

void* es_function(const char* name) {
#define WEB_FIND(result, loader_name, member, params) \
    if (std::strcmp(name, loader_name) == 0) return reinterpret_cast<void*>(&emscripten_gl##member);
    GLFIXED_ES_FUNCTIONS(WEB_FIND)
#undef WEB_FIND
    return nullptr;
}

}  // namespace

namespace web {

void start_gl_layer() {
    if (!glfixed::start(es_function)) fail("the fixed-function GL layer cannot start on this WebGL 2 context");
}

}  // namespace web
