// Headless backend: an EGL context on Mesa's surfaceless platform drawing into the offscreen
// target, a clock the caller sets, an Escape key the caller holds, and recorded (never started)
// threads. Runs on the one thread that drives the demo.
//
// It draws through the fixed-function layer on an OpenGL ES 3 context, as the desktop player and
// the browser build do; DEMO_GL=legacy draws with a legacy GL context instead, for comparison.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include "platform/common/gl_choice.h"
#include "platform/common/offscreen.h"
#include "platform/common/process.h"
#include "platform/common/stand_ins.h"
#include "platform/glfixed/glfixed.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_sound.h"
#include "platform/platform.h"

namespace {

uint32_t ticks;
bool escape_held;
platform::ThreadProc thread_proc;
void (*wait_observer)(platform::ThreadHandle, uint32_t);
headless::PlatformOp platform_calls[headless::kPlatformLogCapacity];
uint32_t platform_call_count;
void (*call_observer)(headless::PlatformOp);
// The picture's size: the classic one unless a caller asked for a sharp one.
int picture_w = platform::kPictureWidth;
int picture_h = platform::kPictureHeight;
bool context_made;

// Which GL the demo draws with: true for the layer, false for the legacy context.
bool use_layer() {
    gl_choice::Gl gl = gl_choice::Gl::layer;
    if (!gl_choice::from_environment(&gl)) process::fail("DEMO_GL", gl_choice::kRefusal);
    return gl == gl_choice::Gl::layer;
}

void* es_function(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

using headless::PlatformOp;
using headless::record_platform_call;

}  // namespace

namespace platform {

void set_display_mode() { record_platform_call(PlatformOp::set_display_mode); }
void hide_cursor() { record_platform_call(PlatformOp::hide_cursor); }
WindowHandle create_window() {
    record_platform_call(PlatformOp::create_window);
    return stand_ins::window();
}
DeviceContext get_device_context(WindowHandle) {
    record_platform_call(PlatformOp::get_device_context);
    return stand_ins::device_context();
}
void set_pixel_format(DeviceContext) { record_platform_call(PlatformOp::set_pixel_format); }

void create_gl_context(DeviceContext) {
    auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform_display == nullptr) process::fail("no EGL platform display support (eglGetPlatformDisplayEXT)");
    EGLDisplay display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
        process::fail("cannot open an EGL surfaceless display (is Mesa's libegl-mesa0 installed?)");
    const bool layer = use_layer();
    if (layer) {
        if (!eglBindAPI(EGL_OPENGL_ES_API)) process::fail("EGL offers no OpenGL ES");
    } else if (!eglBindAPI(EGL_OPENGL_API)) {
        process::fail("EGL offers no desktop OpenGL");
    }
    // Legacy: no attributes, a compatibility-profile context, where glBegin and glBitmap are valid.
    const EGLint es3[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, layer ? es3 : nullptr);
    if (context == EGL_NO_CONTEXT) process::fail(layer ? "EGL refused an OpenGL ES 3 context" : "EGL refused an OpenGL context");
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) process::fail("EGL cannot make the context current");
    if (layer ? !glfixed::start(es_function) : !gl_choice::start_legacy())
        process::fail(layer ? "the fixed-function layer cannot start" : "the GL library lacks a legacy function");
    if (!offscreen::create(picture_w, picture_h))
        process::fail("the GL driver offers no RGBA8 framebuffer with depth of the picture's size");
    context_made = true;
    // Recorded once the context is current, so an observer may already look into GL.
    record_platform_call(PlatformOp::create_gl_context);
}

void present(DeviceContext) {
    record_platform_call(PlatformOp::present);
    glfixed::flush();
}
uint32_t tick_count() {
    record_platform_call(PlatformOp::tick_count);
    return ticks;
}
bool escape_pressed() {
    record_platform_call(PlatformOp::escape_pressed);
    return escape_held;
}

void exit_process(int code) {
    glfixed::print_stats_if_asked();
    process::exit_now(code);
}

ThreadHandle create_thread(ThreadProc proc) {
    thread_proc = proc;
    record_platform_call(PlatformOp::create_thread);
    return stand_ins::thread();
}
void set_thread_time_critical(ThreadHandle thread) {
    // Only a request for the thread the demo started counts as one.
    if (thread == stand_ins::thread()) record_platform_call(PlatformOp::set_thread_time_critical);
}
void wait_on_thread(ThreadHandle thread, uint32_t ms) {
    if (wait_observer != nullptr) wait_observer(thread, ms);
}

}  // namespace platform

namespace headless {

void set_ticks(uint32_t ms) { ticks = ms; }
void set_escape(bool held) { escape_held = held; }
void read_pixels(uint8_t* rgba) { offscreen::read(rgba); }

bool set_picture_size(int width, int height) {
    picture_w = width;
    picture_h = height;
    return !context_made || offscreen::create(width, height);
}
int picture_width() { return picture_w; }
int picture_height() { return picture_h; }
platform::ThreadProc started_thread() { return thread_proc; }
void set_wait_observer(void (*observer)(platform::ThreadHandle, uint32_t)) { wait_observer = observer; }

uint32_t platform_log_size() { return platform_call_count; }
const PlatformOp* platform_log() { return platform_calls; }
void set_call_observer(void (*observer)(PlatformOp)) { call_observer = observer; }

void record_platform_call(PlatformOp op) {
    if (platform_call_count < kPlatformLogCapacity) platform_calls[platform_call_count++] = op;
    if (call_observer != nullptr) call_observer(op);
}

void reset() {
    ticks = 0;
    escape_held = false;
    thread_proc = nullptr;
    wait_observer = nullptr;
    platform_call_count = 0;
    call_observer = nullptr;
    forget_sound_set_up();
}

void fill_picture(uint8_t r, uint8_t g, uint8_t b) {
    // Through glClear so no render state of the demo's is touched except the clear colour,
    // which is put back to the black the demo relies on.
    glClearColor(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

}  // namespace headless
