// Windows backend, display side: the temporary mode switch, the borderless "EDIT" popup window
// and its device context, the WGL context, the tick count, the Escape poll, the process exit
// and the sequencer's thread. Main thread, except wait_on_thread (the sequencer thread).
//
// There is no message loop: the demo only polls the asynchronous key state.
#include <windows.h>

#include "platform/common/thread_record.h"
#include "platform/platform.h"
#include "platform/win32/win32_report.h"

// The record sizes the display calls are given; the i686 build must match these exactly.
static_assert(sizeof(DEVMODEA) == 156, "DEVMODEA as the mode switch expects it");
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40, "PIXELFORMATDESCRIPTOR as the pixel format expects it");

namespace {

HWND window;

// Display mode: 640 x 480 at 32 bits per pixel; all other fields zero.
DEVMODEA display_mode() {
    DEVMODEA mode = {};
    mode.dmSize = 156;                                                 // bytes
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmBitsPerPel = 32;                                            // bits per pixel
    mode.dmPelsWidth = platform::kPictureWidth;                        // pixels
    mode.dmPelsHeight = platform::kPictureHeight;                      // pixels
    return mode;
}

// Double-buffered RGBA window format (flags 0x25), 32 colour and 32 depth bits, nothing else.
PIXELFORMATDESCRIPTOR pixel_format_request() {
    PIXELFORMATDESCRIPTOR pfd = {};
    pfd.nSize = 40;                                                    // bytes
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;                                               // bits per pixel
    pfd.cDepthBits = 32;                                               // bits
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

// Where the window or the GL context cannot be had, drawing would go to the desktop or
// nowhere while the demo claims success: say so and stop instead.
[[noreturn]] void fail(const char* line) {
    win32::report(line);
    ExitProcess(1);
}

}  // namespace

namespace platform {

void set_display_mode() {
    // The demo never pumps messages; without this the shell would replace the window by a
    // "not responding" ghost after five seconds.
    DisableProcessWindowsGhosting();
    DEVMODEA mode = display_mode();
    ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);  // a refusal keeps the desktop mode
}

void hide_cursor() { ShowCursor(FALSE); }

WindowHandle create_window() {
    // The system edit-control class supplies the window procedure; no class of our own.
    window = CreateWindowExA(0, "EDIT", "EDIT", WS_POPUP | WS_VISIBLE, 0, 0, kPictureWidth, kPictureHeight,
                             nullptr, nullptr, nullptr, nullptr);
    if (window == nullptr) fail("demo: cannot open a window");
    return reinterpret_cast<WindowHandle>(window);
}

DeviceContext get_device_context(WindowHandle w) {
    return reinterpret_cast<DeviceContext>(GetDC(reinterpret_cast<HWND>(w)));
}

void set_pixel_format(DeviceContext dc) {
    const HDC hdc = reinterpret_cast<HDC>(dc);
    const PIXELFORMATDESCRIPTOR pfd = pixel_format_request();
    SetPixelFormat(hdc, ChoosePixelFormat(hdc, &pfd), &pfd);
}

void create_gl_context(DeviceContext dc) {
    // The first make-current sets the viewport to the whole 640 x 480 window.
    const HDC hdc = reinterpret_cast<HDC>(dc);
    const HGLRC context = wglCreateContext(hdc);
    if (context == nullptr || !wglMakeCurrent(hdc, context)) fail("demo: cannot create an OpenGL context");
}

void present(DeviceContext dc) { SwapBuffers(reinterpret_cast<HDC>(dc)); }

uint32_t tick_count() { return GetTickCount(); }

// Any bit counts, "pressed since the last poll" included, so a short tap is not missed.
bool escape_pressed() { return GetAsyncKeyState(VK_ESCAPE) != 0; }

void exit_process(int code) {
    // Ends the sequencer thread and the sound with it; Windows restores the display mode,
    // which was only changed for this process.
    ExitProcess(static_cast<UINT>(code));
}

}  // namespace platform

// ---------------------------------------------------------------------------------------------
// The sequencer's thread. The demo starts one.

namespace {

DWORD WINAPI thread_entry(LPVOID record) {
    thread_record::run(record);
    return 0;
}

HANDLE handle_of(platform::ThreadHandle thread) {
    return thread != nullptr ? static_cast<HANDLE>(thread->native) : nullptr;
}

}  // namespace

namespace platform {

ThreadHandle create_thread(ThreadProc proc) {
    return thread_record::start(proc, [](Thread* record) -> void* {
        DWORD thread_id;  // not used afterwards
        return CreateThread(nullptr, 0, thread_entry, record, 0, &thread_id);
    });
}

void set_thread_time_critical(ThreadHandle thread) {
    if (thread != nullptr) SetThreadPriority(handle_of(thread), THREAD_PRIORITY_TIME_CRITICAL);
}

void wait_on_thread(ThreadHandle thread, uint32_t ms) {
    // The thread's own handle is never signalled while it runs, so the wait ends by its
    // time-out. A handle not yet stored (or refused) would return at once and let a
    // time-critical thread spin: sleep instead.
    if (thread == nullptr || WaitForSingleObject(handle_of(thread), ms) == WAIT_FAILED) Sleep(ms);
}

}  // namespace platform
