// Controls of the headless backend: what tests, benchmarks and the capture tool use to drive
// the demo without a display or a sound device. The caller is the only clock: tick_count()
// returns what headless_set_ticks() last set; threads are recorded, never started, so the
// caller plays sequencer rows itself; the sound buffers feed an offline mixer.
// All of it is called from the one thread that drives the demo.
#pragma once

#include <cstdint>

#include "platform/common/sound_buffers.h"
#include "platform/platform.h"

namespace headless {

// The value tick_count() returns from now on.
void set_ticks(uint32_t ms);
// What escape_pressed() answers from now on.
void set_escape(bool held);
// Reads the picture as RGBA bytes, rows bottom-up (GL order): picture_width() x
// picture_height() x 4 bytes.
void read_pixels(uint8_t* rgba);
// The size of the picture the demo draws: 640 x 480 unless set here. Before start-up it is the
// size the picture is made at; afterwards the picture is made again at once at the new size
// (black, its glyphs rasterized anew), as a window's resize does in sharp mode. 4:3 sizes up to
// 2880 x 2160 are the ones meant. False if the driver cannot make it.
bool set_picture_size(int width, int height);
int picture_width();
int picture_height();
// Fills the whole picture with one colour (test set-up: "whatever the buffer held").
void fill_picture(uint8_t r, uint8_t g, uint8_t b);
// The thread procedure the demo asked to start, or null (threads are not run here).
platform::ThreadProc started_thread();
// From now on wait_on_thread calls this with its arguments (null: nobody). A test that runs the
// thread procedure itself sees where it waits; an observer that throws ends that procedure.
void set_wait_observer(void (*observer)(platform::ThreadHandle thread, uint32_t ms));

// ---------------------------------------------------------------------------------------------
// Display, thread and clock calls, as the demo made them, for tests of the start-up order. The
// first sound call (sound_create_device) is recorded here too, to place the sound set-up.

enum class PlatformOp : uint8_t {
    set_display_mode, hide_cursor, create_window, get_device_context, sound_create_device,
    create_thread, set_thread_time_critical, set_pixel_format, create_gl_context, tick_count,
    escape_pressed, present,
};

constexpr uint32_t kPlatformLogCapacity = 64;

// Calls made since the last reset (the log stops growing when full).
uint32_t platform_log_size();
const PlatformOp* platform_log();
// From now on every recorded call, once recorded, is passed to this (null: nobody). The
// observer sees the demo's state at that point of start-up; one that throws ends the caller.
void set_call_observer(void (*observer)(PlatformOp op));

// The backend's own state back to how a fresh process finds it, so that tests sharing one
// process each start clean: clock 0, Escape released, no thread or observers, no calls
// recorded, a sound device available with no buffers (the next one created is number 0) and an
// empty sound log. The GL context and its picture are kept.
void reset();

// ---------------------------------------------------------------------------------------------
// Sound calls, as the demo made them, for tests that check the sequencer's exact calls.

using SoundOp = sound_buffers::Call;

struct SoundCall {
    SoundOp op;
    int8_t buffer;     // index of the secondary buffer in creation order, -1 for none
    int32_t argument;  // position, frequency, volume or byte count; 0 where there is none
};

constexpr uint32_t kSoundLogCapacity = 4096;

// Calls made since the last clear (the log stops growing when full).
uint32_t sound_log_size();
const SoundCall* sound_log();
void sound_log_clear();

// When false, sound_create_device() answers null, as on a machine without any sound device.
void set_sound_device_available(bool available);

// Mixes the next `samples` samples of output (8-bit unsigned mono at the primary format's rate)
// and advances the sound clock by as much. Calls made since the previous mix take effect at the
// start of this block.
void mix(uint8_t* out, uint32_t samples);

}  // namespace headless
