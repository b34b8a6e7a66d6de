// Headless backend: an EGL context on Mesa's surfaceless platform drawing into the offscreen
// target, a clock the caller sets, an Escape key the caller holds, and recorded (never started)
// threads. Runs on the one thread that drives the demo.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include "platform/common/offscreen.h"
#include "platform/common/process.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

uint32_t ticks;
bool escape_held;
platform::ThreadProc thread_proc;
void (*wait_observer)(platform::ThreadHandle, uint32_t);

// Stand-ins for the handles of a real window system; only their identity matters.
char window_token;
char device_context_token;
char thread_token;

}  // namespace

namespace platform {

void set_display_mode() {}
void hide_cursor() {}
WindowHandle create_window() { return reinterpret_cast<WindowHandle>(&window_token); }
DeviceContext get_device_context(WindowHandle) { return reinterpret_cast<DeviceContext>(&device_context_token); }
void set_pixel_format(DeviceContext) {}

void create_gl_context(DeviceContext) {
    auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform_display == nullptr) process::fail("no EGL platform display support (eglGetPlatformDisplayEXT)");
    EGLDisplay display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
        process::fail("cannot open an EGL surfaceless display (is Mesa's libegl-mesa0 installed?)");
    if (!eglBindAPI(EGL_OPENGL_API)) process::fail("EGL offers no desktop OpenGL");
    // No attributes: a compatibility-profile context, where glBegin and glBitmap are valid.
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) process::fail("EGL refused an OpenGL context");
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
        process::fail("EGL cannot make the context current");
    if (!offscreen::create()) process::fail("the GL driver offers no 640x480 RGBA8 framebuffer with depth");
}

void present(DeviceContext) {}
uint32_t tick_count() { return ticks; }
bool escape_pressed() { return escape_held; }

void exit_process(int code) { process::exit_now(code); }

ThreadHandle create_thread(ThreadProc proc) {
    thread_proc = proc;
    return reinterpret_cast<ThreadHandle>(&thread_token);
}
void set_thread_time_critical(ThreadHandle) {}
void wait_on_thread(ThreadHandle thread, uint32_t ms) {
    if (wait_observer != nullptr) wait_observer(thread, ms);
}

}  // namespace platform

namespace headless {

void set_ticks(uint32_t ms) { ticks = ms; }
void set_escape(bool held) { escape_held = held; }
void read_pixels(uint8_t* rgba) { offscreen::read(rgba); }
platform::ThreadProc started_thread() { return thread_proc; }
void set_wait_observer(void (*observer)(platform::ThreadHandle, uint32_t)) { wait_observer = observer; }

void fill_picture(uint8_t r, uint8_t g, uint8_t b) {
    // Through glClear so no render state of the demo's is touched except the clear colour,
    // which is put back to the black the demo relies on.
    glClearColor(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

}  // namespace headless
