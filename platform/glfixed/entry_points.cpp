// The GL 1.1 entry points of the fixed-function layer and the switch between the layer and the
// real legacy functions. Each entry point calls through one table: the layer's functions after
// start(), the real ones after pass_through(), nothing before either (as GL does with no context).
// Kept in one file with start() so that linking the layer always brings its entry points along.
// Main thread only.
#include <cstdio>

#include "platform/glfixed/glfixed.h"
#include "platform/glfixed/tables.h"

namespace glfixed {
namespace {

const Gl11* entries;  // null until a context is chosen
Gl11 legacy;
Es3 loaded;
bool layer_on;

template <typename Function>
bool load(ProcLoader loader, const char* name, Function& out) {
    out = reinterpret_cast<Function>(loader(name));
    if (out != nullptr) return true;
    std::fprintf(stderr, "demo: the GL library has no %s\n", name);
    return false;
}

}  // namespace

bool start(ProcLoader es_functions) {
    bool ok = true;
#define GLFIXED_LOAD(result, loader_name, member, params) ok = load(es_functions, loader_name, loaded.member) && ok;
    GLFIXED_ES_FUNCTIONS(GLFIXED_LOAD)
#undef GLFIXED_LOAD
    if (!ok || !layer_start(loaded)) return false;
    entries = &layer_entries();
    layer_on = true;
    return true;
}

bool pass_through(ProcLoader legacy_functions) {
    bool ok = true;
#define GLFIXED_LOAD(result, name, params, args) ok = load(legacy_functions, #name, legacy.name) && ok;
    GLFIXED_GL11_ENTRIES(GLFIXED_LOAD)
#undef GLFIXED_LOAD
    if (!ok) return false;
    entries = &legacy;
    layer_on = false;
    return true;
}

void flush() {
    if (layer_on) layer_flush();
}

}  // namespace glfixed

// The entry points themselves, with C linkage and the exact prototypes of <GL/gl.h>.
#define GLFIXED_ENTRY(result, name, params, args)               \
    extern "C" result GLAPIENTRY name params {                  \
        if (glfixed::entries == nullptr) return result();       \
        return glfixed::entries->name args;                     \
    }
GLFIXED_GL11_ENTRIES(GLFIXED_ENTRY)
#undef GLFIXED_ENTRY
