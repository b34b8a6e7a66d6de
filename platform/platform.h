// What the demo needs of its host, in the demo's own words.
//
// Every backend (platform/sdl2, platform/headless, platform/win32, platform/web) implements this
// whole list; the executable picks one at link time. What backends share lives in
// platform/common (the sound calls on the software mixer, for one, with a few hooks each backend
// supplies). Each declaration says which thread calls it. Nothing here allocates on behalf of
// the demo after start-up.
#pragma once

#include <cstdint>

namespace platform {

// The picture every backend shows, in pixels.
constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 480;
// Samples per second of the demo's sound format; software mixers open their device at it.
constexpr uint32_t kSampleRate = 44100;

struct Window;
struct DeviceContextTag;
struct Thread;
struct SoundDevice;
struct SoundBuffer;

using WindowHandle  = Window*;
using DeviceContext = DeviceContextTag*;
using ThreadHandle  = Thread*;
using SoundDeviceHandle = SoundDevice*;
using SoundBufferHandle = SoundBuffer*;

// ---------------------------------------------------------------------------------------------
// Display, rendering context, clock, keyboard, exit. Main thread only.

// Switches to (or stands in for) a 640 x 480, 32-bit picture. A backend that cannot use a
// display at all prints one line on stderr saying why and exits with code 1.
void set_display_mode();
// Hides the mouse cursor over the demo's picture.
void hide_cursor();
// Opens the borderless full-screen window the demo draws in.
WindowHandle create_window();
// The window's drawing surface, held for the whole run.
DeviceContext get_device_context(WindowHandle window);
// Chooses and sets a double-buffered RGBA pixel format with 32 colour and 32 depth bits.
void set_pixel_format(DeviceContext dc);
// Creates the GL context and makes it current on this thread, with a 640 x 480 viewport
// covering the whole picture: a legacy (compatibility) context, or one the fixed-function
// layer (platform/glfixed) draws the demo's OpenGL 1.1 calls on.
void create_gl_context(DeviceContext dc);
// Shows the finished frame. The picture stays in the drawing target afterwards (copy
// behaviour), so the next frame's fade darkens this one.
void present(DeviceContext dc);
// Milliseconds since an arbitrary origin, wrapping modulo 2^32.
uint32_t tick_count();
// True while Escape is held or the window was asked to close. Pumps the platform's events.
bool escape_pressed();
// Ends the process at once with this code; releases nothing, restores the desktop.
[[noreturn]] void exit_process(int code);

// ---------------------------------------------------------------------------------------------
// Threads.

using ThreadProc = void (*)(void* parameter);
// Main thread: starts proc(nullptr) on a new thread that runs at once. Null if refused.
ThreadHandle create_thread(ThreadProc proc);
// Main thread: asks for time-critical priority; a refusal is tolerated silently.
void set_thread_time_critical(ThreadHandle thread);
// The thread itself: blocks for ms milliseconds (a timed wait on its own handle).
void wait_on_thread(ThreadHandle thread, uint32_t ms);

// ---------------------------------------------------------------------------------------------
// Sound: a device, its primary output format and one-shot secondary buffers.
// Set-up runs on the main thread; afterwards only the sequencer thread touches the buffers.
// Every call tolerates a null handle by doing nothing, so a missing device plays silently.

struct WaveFormat {
    uint16_t format_tag;          // 1 = PCM
    uint16_t channels;
    uint32_t samples_per_sec;     // Hz
    uint32_t avg_bytes_per_sec;
    uint16_t block_align;         // bytes per sample frame
    uint16_t bits_per_sample;
};

// Main thread: the default output device, or null (one line on stderr) when there is none.
SoundDeviceHandle sound_create_device();
// Main thread: exclusive use of the device for this window.
void sound_set_cooperative_level(SoundDeviceHandle device, WindowHandle window);
// Main thread: the device's output buffer, used only to set the output format. May be null.
SoundBufferHandle sound_create_primary_buffer(SoundDeviceHandle device);
// Main thread: the device mixes and outputs in this format.
void sound_set_format(SoundBufferHandle primary, const WaveFormat& format);
// Main thread: a stopped one-shot buffer of `bytes` bytes at position 0, format rate, full
// volume, with frequency, pan and volume control. Null if it cannot be had.
SoundBufferHandle sound_create_buffer(SoundDeviceHandle device, uint32_t bytes, const WaveFormat& format);
// Main thread: write access to the whole buffer; *bytes receives its size. Null if refused.
uint8_t* sound_lock(SoundBufferHandle buffer, uint32_t* bytes);
// Main thread: the bytes written since sound_lock are the ones played.
void sound_unlock(SoundBufferHandle buffer, uint8_t* data, uint32_t bytes);

// Sequencer thread: silences the buffer at once.
void sound_stop(SoundBufferHandle buffer);
// Sequencer thread: the next play starts at this byte.
void sound_set_position(SoundBufferHandle buffer, uint32_t byte);
// Sequencer thread: plays the sample at this many samples per second.
void sound_set_frequency(SoundBufferHandle buffer, uint32_t hz);
// Sequencer thread: level in hundredths of a decibel (-10000 silent, 0 full); applies at once.
void sound_set_volume(SoundBufferHandle buffer, int32_t centibels);
// Sequencer thread: plays once from the current position to the end; a sounding buffer goes
// on undisturbed. A buffer that played to its end stands at its first sample again.
void sound_play(SoundBufferHandle buffer);

// ---------------------------------------------------------------------------------------------
// Font. Main thread, with the GL context current.

// Makes a bold font of the named face with this cell height in pixels (a positive height is
// the character cell height) and selects it into dc. False, with one line on stderr, if no
// suitable face exists.
bool create_bold_font(DeviceContext dc, int cell_height, const char* face);
// Fills `count` display lists from list_base with the bitmap glyphs of codes first.. of the
// selected font: each list draws its glyph with glBitmap at the raster position and advances
// the raster position by the glyph's advance.
void use_font_bitmaps(DeviceContext dc, uint32_t first, uint32_t count, uint32_t list_base);

}  // namespace platform
