// Web backend: the demo in a page. A WebGL 2 context on the page's canvas (drawn through the
// fixed-function layer), the page's clock and keys, and the end handed back to the page. The
// browser drives frames from requestAnimationFrame (web_main.cpp), so nothing here blocks.
// Page main thread.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
#include <cstdio>

#include "platform/common/stand_ins.h"
#include "platform/glfixed/glfixed.h"
#include "platform/platform.h"
#include "platform/web/web.h"

// The page's side of the backend: Module.page, handed in when the module is made.
EM_JS(void, page_hide_cursor, (), { Module.page.hideCursor(); });
EM_JS(int, page_escape_requested, (), { return Module.page.escapeRequested() ? 1 : 0; });
EM_JS(void, page_ended, (int code, const char* why), {
    Module.page.ended(code, why ? UTF8ToString(why) : "");
    // Unwinds the frame in progress; the page's frame driver knows this value and stops.
    throw "demo-exit";
});

namespace web {

namespace {
int canvas_width = platform::kPictureWidth;
}  // namespace

int picture_width() { return canvas_width; }

[[noreturn]] void fail(const char* why) {
    std::fprintf(stderr, "demo: %s\n", why);
    page_ended(1, why);
    __builtin_unreachable();
}

}  // namespace web

namespace platform {

// The page shows the canvas scaled to the window; there is no display mode to change.
void set_display_mode() {}
void hide_cursor() { page_hide_cursor(); }
WindowHandle create_window() { return stand_ins::window(); }
DeviceContext get_device_context(WindowHandle) { return stand_ins::device_context(); }
// The canvas's format is asked for with its context below.
void set_pixel_format(DeviceContext) {}

// The viewport is the canvas's size: 640 x 480, or the sharp size the page gave it.
void create_gl_context(DeviceContext) {
    int width = 0, height = 0;
    if (emscripten_get_canvas_element_size(web::kCanvas, &width, &height) == EMSCRIPTEN_RESULT_SUCCESS)
        web::canvas_width = width;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    // The picture stays in the canvas after it is shown, so the next frame's fade darkens it.
    attributes.preserveDrawingBuffer = EM_TRUE;
    attributes.failIfMajorPerformanceCaveat = EM_FALSE;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(web::kCanvas, &attributes);
    if (context <= 0 || emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS)
        web::fail("this browser offers no WebGL 2");
    web::start_gl_layer();
}

// The browser shows the canvas when the frame's callback returns; the layer hands over what it
// still holds first.
void present(DeviceContext) { glfixed::flush(); }

uint32_t tick_count() { return uint32_t(uint64_t(emscripten_get_now())); }

bool escape_pressed() { return page_escape_requested() != 0; }

void exit_process(int code) {
    page_ended(code, nullptr);
    __builtin_unreachable();
}

}  // namespace platform
