// SDL2 backend, the program people play: a borderless desktop-fullscreen window (no real mode
// switch, which an immediate exit could not undo), or on request a resizable window; Alt+Enter
// and F11 switch between the two. The demo draws through the fixed-function layer on an OpenGL
// ES 3 context (or with legacy GL, sdl2_gl.cpp) into the 640 x 480 offscreen target (with
// --sharp, one the size of the 4:3 box it is shown in, made again when that changes), presented
// scaled with its 4:3 aspect and black bars. Main thread, except the thread
// functions at the end, whose callers are named there.
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <pthread.h>
#include <sched.h>

#include <cstdlib>

#include "platform/common/frame_stats.h"
#include "platform/common/offscreen.h"
#include "platform/common/process.h"
#include "platform/common/thread_record.h"
#include "platform/glfixed/glfixed.h"
#include "platform/platform.h"
#include "platform/sdl2/sdl2_gl.h"
#include "platform/sdl2/sdl2_player.h"
#include "platform/sdl2/window_icon.h"
#include "runtime/runtime.h"

bool sdl2_player::start_in_window;
bool sdl2_player::sharp;

namespace {

SDL_Window* window;
SDL_GLContext context;
bool polled_before;
bool windowed;  // a framed window now, rather than the whole screen
// The user's last window size and place, taken back after full screen; none before the first.
bool have_window_rect;
SDL_Rect window_rect;
int window_frame_left;  // the window manager's frame around it then
int window_frame_top;

// The largest window wanted, and room left on the desktop for a window frame and title bar.
constexpr int kMaxWindowWidth = 1280;
constexpr int kMaxWindowHeight = 960;
constexpr int kFrameAllowance = 48;

// The window size for a windowed run: the largest 4:3 size that fits the desktop's usable area
// with its frame, up to 1280 x 960, in whole steps of 4 x 3.
void window_size(int* w, int* h) {
    SDL_Rect usable{0, 0, platform::kPictureWidth + kFrameAllowance, platform::kPictureHeight + kFrameAllowance};
    SDL_GetDisplayUsableBounds(0, &usable);  // on failure the picture's own size
    int step = (usable.h - kFrameAllowance) / 3;
    if ((usable.w - kFrameAllowance) / 4 < step) step = (usable.w - kFrameAllowance) / 4;
    if (step > kMaxWindowWidth / 4) step = kMaxWindowWidth / 4;
    if (step > kMaxWindowHeight / 3) step = kMaxWindowHeight / 3;
    if (step < 40) step = 40;  // never below 160 x 120, however odd the desktop
    *w = 4 * step;
    *h = 3 * step;
}

void enter_window() {
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowBordered(window, SDL_TRUE);
    SDL_SetWindowResizable(window, SDL_TRUE);
    if (have_window_rect) {
        // SDL places the frame by the frame size it knows, which is still the full screen's
        // none until the manager's next report; the frame the window had makes up the rest.
        int top = 0;
        int left = 0;
        SDL_GetWindowBordersSize(window, &top, &left, nullptr, nullptr);
        SDL_SetWindowSize(window, window_rect.w, window_rect.h);
        SDL_SetWindowPosition(window, window_rect.x - (window_frame_left - left), window_rect.y - (window_frame_top - top));
    } else {
        int w = 0;
        int h = 0;
        window_size(&w, &h);
        SDL_SetWindowSize(window, w, h);
        SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    windowed = true;
}

void enter_full_screen() {
    // Borderless at the desktop's size first, as at creation: where no window manager honours
    // the full-screen request, the picture still covers the screen.
    SDL_Rect desktop{0, 0, platform::kPictureWidth, platform::kPictureHeight};
    SDL_GetDisplayBounds(0, &desktop);
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, desktop.x, desktop.y);
    SDL_SetWindowSize(window, desktop.w, desktop.h);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_ShowCursor(SDL_DISABLE);
    windowed = false;
}

// The window manager's own fullscreen state of the window: 1 full screen, 0 not, -1 when no
// window manager runs (then nobody but the program changes it, and _NET_WM_STATE is only what
// SDL wrote at creation).
int x11_wm_full_screen() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return -1;
    Display* display = info.info.x11.display;
    const auto property = [display](::Window w, const char* name, Atom type, unsigned long* count) {
        Atom actual = None;
        int format = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        *count = 0;
        XGetWindowProperty(display, w, XInternAtom(display, name, False), 0, 64, False, type, &actual, &format,
                           count, &after, &data);
        return data;
    };
    unsigned long count = 0;
    unsigned char* check = property(DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, &count);
    if (check != nullptr) XFree(check);
    if (count == 0) return -1;
    unsigned char* state = property(info.info.x11.window, "_NET_WM_STATE", XA_ATOM, &count);
    const Atom full = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    int found = 0;
    for (unsigned long i = 0; i < count; ++i)
        if (reinterpret_cast<const Atom*>(state)[i] == full) found = 1;
    if (state != nullptr) XFree(state);
    return found;
}

// Keeps the window's size and place while it is a window of the user's, to go back to after
// full screen (also one the window manager made, which SDL does not notice).
void remember_window_rect() {
    if (!windowed || x11_wm_full_screen() == 1) return;
    SDL_GetWindowPosition(window, &window_rect.x, &window_rect.y);
    SDL_GetWindowSize(window, &window_rect.w, &window_rect.h);
    window_frame_top = 0;
    window_frame_left = 0;
    SDL_GetWindowBordersSize(window, &window_frame_top, &window_frame_left, nullptr, nullptr);
    have_window_rect = true;
}

// Alt+Enter or F11. The window manager may have switched full screen itself since (its menu,
// a keyboard shortcut, wmctrl): its state wins, and SDL's own idea is brought in line first,
// or SDL would take the request for one already met and do nothing.
void toggle_full_screen() {
    const int wm = x11_wm_full_screen();
    const bool full = wm >= 0 ? wm == 1 : !windowed;
    if (full == windowed) SDL_SetWindowFullscreen(window, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    if (full) {
        enter_window();
    } else {
        windowed = true;
        remember_window_rect();
        enter_full_screen();
    }
}

// In a window the cursor shows over the bars and the frame, and hides over the picture.
void follow_cursor(int x, int y) {
    if (!windowed) return;
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(window, &w, &h);
    const offscreen::Placement p = offscreen::place_picture(w, h);
    const bool over_picture = x >= p.x && x < p.x + p.width && y >= p.y && y < p.y + p.height;
    SDL_ShowCursor(over_picture ? SDL_DISABLE : SDL_ENABLE);
}

bool is_toggle_key(const SDL_KeyboardEvent& key) {
    if (key.repeat != 0) return false;
    if (key.keysym.scancode == SDL_SCANCODE_F11) return true;
    return (key.keysym.scancode == SDL_SCANCODE_RETURN || key.keysym.scancode == SDL_SCANCODE_KP_ENTER) &&
           (key.keysym.mod & KMOD_ALT) != 0;
}

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

// The desktop icon, scaled down at build time (cmake/icon_table.py), as the window's own icon.
void set_window_icon() {
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(kIconPixels), kIconSize, kIconSize,
                                                           32, 4 * kIconSize, SDL_PIXELFORMAT_RGBA32);
    if (icon == nullptr) return;  // no icon is no reason to stop
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

[[noreturn]] void fail(const char* what) { process::fail(what, SDL_GetError()); }

}  // namespace

namespace platform {

void set_display_mode() {
    // Keep the picture up when focus moves to another monitor.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The window class (Wayland app id) the desktop entry's StartupWMClass names, so a dock
    // matches the running window to its launcher; SDL would use the executable's name.
    setenv("SDL_VIDEO_X11_WMCLASS", DEMO_PACKAGE_NAME, 0);
    setenv("SDL_VIDEO_WAYLAND_WMCLASS", DEMO_PACKAGE_NAME, 0);
    SDL_SetHint(SDL_HINT_APP_NAME, DEMO_TITLE);  // the name sound servers show for its stream
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
    sdl2_gl::request_context();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    if (sdl2_player::start_in_window) {
        int w = 0;
        int h = 0;
        window_size(&w, &h);
        window = SDL_CreateWindow(DEMO_TITLE, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
        windowed = true;
    } else {
        // Created at the desktop's size as well, so the picture covers the screen even where no
        // window manager honours the full-screen request.
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
            desktop.w = kPictureWidth;
            desktop.h = kPictureHeight;
        }
        window = SDL_CreateWindow(DEMO_TITLE, 0, 0, desktop.w, desktop.h,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    if (window == nullptr) fail("cannot open a window");
    set_window_icon();
    return reinterpret_cast<WindowHandle>(window);
}

DeviceContext get_device_context(WindowHandle w) { return reinterpret_cast<DeviceContext>(w); }

// The pixel format was fixed by the attributes set before the window was created.
void set_pixel_format(DeviceContext) {}

void create_gl_context(DeviceContext) {
    context = sdl2_gl::create_context(window);
    SDL_GL_SetSwapInterval(1);  // vsync where the driver offers it; a refusal just runs faster
    int w = kPictureWidth;
    int h = kPictureHeight;
    if (sdl2_player::sharp) {
        SDL_GL_GetDrawableSize(window, &w, &h);
        const offscreen::Size size = offscreen::sharp_size(w, h);
        w = size.width;
        h = size.height;
    }
    if (!offscreen::create(w, h)) fail("the GL driver offers no framebuffer with depth of the picture's size");
}

void present(DeviceContext) {
    int w = 0;
    int h = 0;
    SDL_GL_GetDrawableSize(window, &w, &h);
    glfixed::flush();
    offscreen::blit_to_window(w, h);
    SDL_GL_SwapWindow(window);
    frame_stats::presented(scene_time);
    // A sharp picture follows its box: made again (black, its glyphs rasterized anew) when the
    // window's size changed; the next frame is drawn at the new size.
    if (sdl2_player::sharp) {
        const offscreen::Size size = offscreen::sharp_size(w, h);
        if ((size.width != offscreen::width() || size.height != offscreen::height()) &&
            !offscreen::create(size.width, size.height))
            fail("the GL driver offers no framebuffer with depth of the picture's size");
    }
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
            if (e.type == SDL_KEYDOWN && is_toggle_key(e.key)) toggle_full_screen();
            if (e.type == SDL_WINDOWEVENT &&
                (e.window.event == SDL_WINDOWEVENT_MOVED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED))
                remember_window_rect();
            if (e.type == SDL_MOUSEMOTION) follow_cursor(e.motion.x, e.motion.y);
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
    frame_stats::print();
    glfixed::print_stats_if_asked();
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
