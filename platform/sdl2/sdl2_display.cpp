// SDL2 backend, the program people play: a borderless desktop-fullscreen window (no real mode
// switch, which an immediate exit could not undo), a legacy GL context drawing into the 640 x 480
// offscreen target, presented scaled with its 4:3 aspect and black bars. Main thread, except the
// thread functions at the end, whose callers are named there.
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <pthread.h>
#include <sched.h>

#include <cstdlib>

#include "platform/common/offscreen.h"
#include "platform/common/process.h"
#include "platform/common/thread_record.h"
#include "platform/platform.h"

namespace {

SDL_Window* window;
SDL_GLContext context;
bool polled_before;

// Asks the X server itself whether Escape is down: SDL's key state only follows events, and a
// key held since before the window existed sends none.
bool x11_escape_down() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    Display* display = info.info.x11.display;
    char keys[32];
    XQueryKeymap(display, keys);
    const KeyCode code = XKeysymToKeycode(display, XK_Escape);
    return code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0;
}

[[noreturn]] void fail(const char* what) { process::fail(what, SDL_GetError()); }

}  // namespace

namespace platform {

void set_display_mode() {
    // Keep the picture up when focus moves to another monitor.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_Init(SDL_INIT_TIMER) != 0) fail("cannot start SDL");
    if (std::getenv("SDL_VIDEODRIVER") != nullptr) {
        if (SDL_VideoInit(nullptr) != 0) fail("no display available");
        return;
    }
    // Only drivers that show a picture: SDL would otherwise fall back to its invisible
    // offscreen driver and play to nobody.
    if (std::getenv("WAYLAND_DISPLAY") != nullptr && SDL_VideoInit("wayland") == 0) return;
    if (std::getenv("DISPLAY") != nullptr && SDL_VideoInit("x11") == 0) return;
    if (SDL_VideoInit("KMSDRM") == 0) return;
    process::fail("no display available (no X11 or Wayland display to open, and no KMS/DRM console)");
}

void hide_cursor() { SDL_ShowCursor(SDL_DISABLE); }

WindowHandle create_window() {
    // No version or profile requested: a legacy context, where glBegin and glBitmap are valid.
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    // Created at the desktop's size as well, so the picture covers the screen even where no
    // window manager honours the full-screen request.
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        desktop.w = kPictureWidth;
        desktop.h = kPictureHeight;
    }
    window = SDL_CreateWindow("EDIT", 0, 0, desktop.w, desktop.h,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (window == nullptr) fail("cannot open a window");
    return reinterpret_cast<WindowHandle>(window);
}

DeviceContext get_device_context(WindowHandle w) { return reinterpret_cast<DeviceContext>(w); }

// The pixel format was fixed by the attributes set before the window was created.
void set_pixel_format(DeviceContext) {}

void create_gl_context(DeviceContext) {
    context = SDL_GL_CreateContext(window);
    if (context == nullptr) fail("cannot create an OpenGL context");
    SDL_GL_SetSwapInterval(1);  // vsync where the driver offers it; a refusal just runs faster
    if (!offscreen::create()) fail("the GL driver offers no 640x480 framebuffer with depth");
}

void present(DeviceContext) {
    int w = 0;
    int h = 0;
    SDL_GL_GetDrawableSize(window, &w, &h);
    offscreen::blit_to_window(w, h);
    SDL_GL_SwapWindow(window);
}

uint32_t tick_count() { return SDL_GetTicks(); }

bool escape_pressed() {
    // Drain the queue: a tap of Escape between two polls still counts (like the "pressed since
    // the last poll" bit of a key-state call), and a close request ends the demo like Escape.
    bool pressed = false;
    SDL_PumpEvents();
    SDL_Event events[64];
    int n;
    while ((n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0) {
        for (int i = 0; i < n; ++i) {
            const SDL_Event& e = events[i];
            if (e.type == SDL_QUIT) pressed = true;
            if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE) pressed = true;
            if (e.type == SDL_KEYDOWN && e.key.keysym.scancode == SDL_SCANCODE_ESCAPE) pressed = true;
        }
    }
    if (!polled_before) {
        polled_before = true;
        pressed = pressed || x11_escape_down();
    }
    return pressed || SDL_GetKeyboardState(nullptr)[SDL_SCANCODE_ESCAPE] != 0;
}

void exit_process(int code) {
    // Immediate: the sequencer thread and the sound end with the process. The window system
    // takes back the window and the cursor; no display mode was changed.
    process::exit_now(code);
}

}  // namespace platform

// ---------------------------------------------------------------------------------------------
// The one extra thread. SDL sets priority only from the thread itself, so a request made by the
// main thread is picked up by the thread at its next wait (the first row may run at normal
// priority, as it may on any platform).

namespace {

int thread_entry(void* record) {
    thread_record::run(record);
    return 0;
}

}  // namespace

namespace platform {

ThreadHandle create_thread(ThreadProc proc) {
    return thread_record::start(
        proc, [](Thread* record) -> void* { return SDL_CreateThread(thread_entry, "sequencer", record); });
}

void set_thread_time_critical(ThreadHandle thread) {
    if (thread != nullptr) thread->wants_time_critical.store(true, std::memory_order_release);
}

void wait_on_thread(ThreadHandle thread, uint32_t ms) {
    if (thread != nullptr && !thread->is_time_critical &&
        thread->wants_time_critical.load(std::memory_order_acquire)) {
        SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL);  // refusal tolerated
        // On Linux SDL's time-critical is only a nice level, which a loaded machine still lets
        // oversleep by milliseconds; real-time round-robin, where allowed, keeps rows on time.
        sched_param param{};
        param.sched_priority = 20;
        pthread_setschedparam(pthread_self(), SCHED_RR, &param);  // refusal tolerated
        thread->is_time_critical = true;
    }
    SDL_Delay(ms);
}

}  // namespace platform
