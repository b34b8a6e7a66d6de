// The demo runtime: start-up in its fixed order, the visual clock, the scene script with its
// fade and flashes, and the frame loop. Main thread only.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Time a flash keeps the picture black, in ms (both ends exclusive).
constexpr uint32_t kFlashLength = 200;
// The first frame with a later scene time ends the demo unpresented, in ms.
constexpr uint32_t kScriptEnd = 82000;
constexpr int kFlashCount = 256;

// When the script draws each effect, in scene time (ms, both ends exclusive as the script tests
// them): render_frame draws from these, and the frame statistics group frames by them.
struct SceneSpan {
    const char* name;
    uint32_t from, to;
};
inline constexpr uint32_t kBackdropEnd = 40000;  // the backdrop from the first frame (t = 0 too)
inline constexpr SceneSpan kSwarmSpans[] = {{"cube swarm", 42000, 60500}, {"cube swarm", 61500, 63500},
                                            {"cube swarm", 64500, 66500}};
inline constexpr SceneSpan kTubeSpan = {"tube", 70000, 78000};
inline constexpr uint32_t kCoilStart = 78000;  // on to the end
// Each effect's whole stretch, the swarm's pauses included; frames in none are "between scenes".
inline constexpr SceneSpan kSceneSpans[] = {
    {"particle backdrop", 0, kBackdropEnd},
    {"cube swarm", kSwarmSpans[0].from, kSwarmSpans[2].to},
    kTubeSpan,
    {"coil", kCoilStart, UINT32_MAX},
};

extern uint32_t clock_origin;            // tick count when the loop was entered
extern uint32_t scene_time;              // t of the frame being drawn, ms
extern float fade_alpha;                 // alpha of the fade quad; 0 clears, 0.85 leaves trails
extern uint32_t flash_times[kFlashCount];

// Start-up steps 1 to 15, in order; returns the window's device context.
platform::DeviceContext start_up();
void build_flash_times();
// Draws the frame at scene time t (fade quad, script, flash scan, captions) without presenting
// it. False when t is past the end of the script: that frame must not be presented.
bool render_frame(uint32_t t);
// Where the script places the tube along z at scene time t (70000 < t < 78000).
float tube_offset(uint32_t t);
// The coil's rocking angle about x in degrees at scene time t (t > 78000).
float coil_angle(uint32_t t);
// The two steps of every driver's frame loop, whoever turns it (a blocking loop on the desktop,
// the browser's animation frames, a test's fixed clock).
// Samples the visual clock, after the rest of start-up, and polls Escape before the first
// frame. False when Escape is already down: the demo ends without drawing.
bool start_clock();
// One turn: the frame at the clock's scene time (modulo 2^32, so a wrap is harmless), presented,
// then the Escape poll. False when the demo ends: past the script (that frame unpresented) or
// on Escape.
bool frame_turn(platform::DeviceContext dc);
// start_clock, then frame turns until the end, then exit code 0. Never returns.
[[noreturn]] void run_frame_loop(platform::DeviceContext dc);
