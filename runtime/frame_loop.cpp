// The visual timeline: the flash table, the scene script and the frame loop. Main thread.
//
// Nothing clears the colour buffer between frames: a translucent black quad drawn first in
// every frame scales what the buffer still holds by fade_alpha, which makes the trails.
// Render state is never saved or restored; each step sets what it needs and the next frame
// inherits the rest, so the order of calls below is part of the picture.
#include "captions/captions.h"
#include "effects/effects.h"
#include "platform/gl.h"
#include "runtime/runtime.h"

#include <cmath>

uint32_t clock_origin;
uint32_t scene_time;
float fade_alpha = 0.0f;
uint32_t flash_times[kFlashCount];

void build_flash_times() {
    for (uint32_t k = 0; k < 9; ++k) {
        const uint32_t a = 40300 + 1200 * k;  // the rhythm from 40 s
        const uint32_t b = 70300 + 600 * k;   // the rhythm from 70 s
        const uint32_t c = 78000 + 500 * k;   // every half second from 78 s
        flash_times[4 * k + 0] = a - 300;
        flash_times[4 * k + 1] = a;
        flash_times[4 * k + 2] = a + 200;
        flash_times[4 * k + 3] = a + 500;
        flash_times[80 + 4 * k] = c;
        if (c < 80000) {
            flash_times[40 + 4 * k] = b - 300;
            flash_times[41 + 4 * k] = b;
        }
    }
}

namespace {

// Constants of the script, single precision as the timeline stores them.
constexpr float kZoomRate = 0.00033333333f;   // 1 / 3000 ms: a zoom lasts three seconds
constexpr float kTubeSpeed = 0.05f;           // units of flight per ms
constexpr float kCoilRockRate = 0.002f;       // radians per ms

void draw_fade_quad() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_SRC_ALPHA);  // dst = src (black) + dst * fade_alpha
    glColor4f(0.0f, 0.0f, 0.0f, fade_alpha);
    // Exactly at the near distance, and far wider than the view there (about +-0.19 by +-0.14).
    glBegin(GL_QUADS);
    glVertex3f(-10.0f, -10.0f, -0.1f);
    glVertex3f(-10.0f, 10.0f, -0.1f);
    glVertex3f(10.0f, 10.0f, -0.1f);
    glVertex3f(10.0f, -10.0f, -0.1f);
    glEnd();
}

bool in_window(uint32_t t, uint32_t start, uint32_t end) { return start < t && t < end; }

bool in_swarm_span(uint32_t t) {
    for (const SceneSpan& s : kSwarmSpans)
        if (in_window(t, s.from, s.to)) return true;
    return false;
}

}  // namespace

float tube_offset(uint32_t t) {
    // Signed difference: the flight runs from -380 at 70 s to +20 at 78 s.
    return float(double(kTubeSpeed) * double(int32_t(t - 71000)) - 330.0);
}

float coil_angle(uint32_t t) { return float(100.0 * std::sin(double(kCoilRockRate) * double(t))); }

bool render_frame(uint32_t t) {
    scene_time = t;
    draw_fade_quad();
    glClear(GL_DEPTH_BUFFER_BIT);

    if (t < kBackdropEnd) {
        glBlendFunc(GL_ONE, GL_ONE);  // additive dots; blending is still on from the fade
        glDisable(GL_DEPTH_TEST);
        bind_texture_slot(1);
        draw_particle_backdrop(t);
    }

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    bind_texture_slot(0);

    if (in_window(t, 15000, 18000)) {  // first zoom: squeeze to half width, a tenth of height
        const double f = double(t - 15000) * double(kZoomRate);
        backdrop_scale_x = float(1.0 - 0.5 * f);
        backdrop_scale_y = float(1.0 - double(0.9f) * f);
    }
    if (in_window(t, 22500, 25500)) {  // second zoom: reopen from a line, faster, with trails
        backdrop_angle_divisor = 500.0f;
        fade_alpha = 0.75f;
        const double f = double(t - 22500) * double(kZoomRate);
        backdrop_scale_x = float((1.0 + f) * 0.5);
        backdrop_scale_y = float(double(0.9f) * f);
    }
    if (in_swarm_span(t)) {
        fade_alpha = 0.85f;
        glColor4f(1.5f, 0.75f, 0.0f, 0.0f);
        draw_cube_swarm(t, int(t / 54000));  // the whole-swarm spin from 54 s
    }
    if (in_window(t, kTubeSpan.from, kTubeSpan.to)) {
        glTranslatef(0.0f, 0.0f, tube_offset(t));
        glColor4f(0.1f, 0.1f, 0.8f, 0.0f);
        draw_tube_surface(t, 0);
    }
    if (t > kCoilStart) {
        glTranslatef(0.0f, 0.0f, -10.0f);
        glRotatef(coil_angle(t), 1.0f, 0.0f, 0.0f);
        glColor4f(0.5f, 0.0f, 1.0f, 0.0f);
        draw_tube_surface(16 * t, 1);
    }

    if (t > kScriptEnd) return false;

    // Zero entries match 0 < t < 200 too: the first 200 ms are black.
    for (uint32_t e : flash_times) {
        if (e < t && t < e + kFlashLength) glClear(GL_COLOR_BUFFER_BIT);
    }

    glLoadIdentity();
    draw_captions(t);  // after the flash scan: a flash blanks the scene, not the words
    return true;
}

bool start_clock() {
    clock_origin = platform::tick_count();
    return !platform::escape_pressed();
}

bool frame_turn(platform::DeviceContext dc) {
    const uint32_t t = platform::tick_count() - clock_origin;
    if (!render_frame(t)) return false;
    platform::present(dc);
    return !platform::escape_pressed();
}

void run_frame_loop(platform::DeviceContext dc) {
    if (start_clock()) {
        while (frame_turn(dc)) {
        }
    }
    platform::exit_process(0);
}
