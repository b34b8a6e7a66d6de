// Web backend, entry points the page calls: start-up, then one frame per animation frame (the
// browser drives the loop; a blocking loop would freeze the page), and the test hook's frames
// at given scene times. Page main thread.
#include <emscripten.h>

#include "platform/platform.h"
#include "platform/web/web.h"
#include "runtime/runtime.h"

namespace {

platform::DeviceContext device_context;

}  // namespace

extern "C" {

// The width the page gives its canvas for a sharp picture in a box `wanted` device pixels wide
// (the height is three quarters of it); called before demo_start.
EMSCRIPTEN_KEEPALIVE int demo_sharp_width(int wanted) { return web::sharp_width(wanted); }

// Start-up in its fixed order (the music starts within it), then the visual clock.
EMSCRIPTEN_KEEPALIVE void demo_start() {
    device_context = start_up();
    if (!start_clock()) platform::exit_process(0);
}

// One turn of the desktop's frame loop. A hidden tab gets no frames, and the next one is where
// the clock says.
EMSCRIPTEN_KEEPALIVE void demo_frame() {
    if (!frame_turn(device_context)) platform::exit_process(0);
}

// The frame at scene time t, whatever the clock says (the seek hook). 0 past the script's end.
EMSCRIPTEN_KEEPALIVE int demo_render_at(uint32_t t) {
    if (!render_frame(t)) return 0;
    platform::present(device_context);
    return 1;
}

}  // extern "C"
