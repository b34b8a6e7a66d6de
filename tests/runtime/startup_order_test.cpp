// Start-up order, as the headless backend records the demo's calls: display, cursor, window and
// device context, the sound set-up, the sequencer thread and its priority, then the pixel format
// and the rendering context, and last the clock and the first Escape poll. Steps that make no
// platform call (pitch table, textures, font, timeline tables) are placed by what the demo has
// built at the calls around them; the font step is caught at its first GL call, glGenLists,
// watched through the GL entry points' pass-through once the context exists.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "captions/captions.h"
#include "effects/effects.h"
#include "music/music.h"
#include "platform/gl.h"
#include "platform/glfixed/glfixed.h"
#include "platform/headless/headless.h"
#include "runtime/runtime.h"

namespace {

using headless::PlatformOp;

struct FirstPoll {};

// What the demo had built when a call was made, as flags.
struct Built {
    bool buffers_filled = false;   // all nine instrument buffers unlocked
    bool pitch_table = false;
    bool particle_field = false;
    bool texture_bound = false;    // a texture object bound (slot 0 after the texture step)
    bool font_lists = false;
    bool flash_times = false;
    bool caption_windows = false;
};

Built at_create_thread, at_font, at_clock;
bool font_seen;
bool gl_ready;  // GL is asked only once a context exists

Built look() {
    Built b;
    int unlocks = 0;
    for (uint32_t i = 0; i < headless::sound_log_size(); ++i)
        unlocks += headless::sound_log()[i].op == headless::SoundOp::unlock;
    b.buffers_filled = unlocks == kInstrumentCount;
    // Telling entries of the pitch table: the first, the lowest a note reaches, the last.
    b.pitch_table = pitch_table[0] == 128 && pitch_table[60] == 4097 && pitch_table[107] == 61873;
    for (int i = 0; i < kParticleCount; ++i)
        b.particle_field |= particle_field[i].x != 0.0f || particle_field[i].y != 0.0f || particle_field[i].z != 0.0f;
    if (gl_ready) {
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        b.texture_bound = bound != 0;
        b.font_lists = font_list_base != 0 && glIsList(font_list_base + 'A') == GL_TRUE;
    }
    // The first flash of the 40 s rhythm and the last of the coil; the first caption group.
    b.flash_times = flash_times[0] == 40000 && flash_times[112] == 82000;
    b.caption_windows = caption_windows[0].start == 7800 && caption_windows[0].end == 8500;
    return b;
}

bool clock_read;

GLuint (*real_gen_lists)(GLsizei);

GLuint watched_gen_lists(GLsizei range) {
    if (!font_seen) {
        font_seen = true;
        at_font = look();
    }
    return real_gen_lists(range);
}

// The legacy GL functions, glGenLists seen on its way.
void* watching_loader(const char* name) {
    void* real = dlsym(RTLD_NEXT, name);
    if (std::string(name) != "glGenLists") return real;
    real_gen_lists = reinterpret_cast<GLuint (*)(GLsizei)>(real);
    return reinterpret_cast<void*>(&watched_gen_lists);
}

void observe(PlatformOp op) {
    switch (op) {
    case PlatformOp::create_thread: at_create_thread = look(); break;
    case PlatformOp::create_gl_context:
        gl_ready = true;
        if (!glfixed::pass_through(watching_loader)) throw std::runtime_error("no legacy GL to watch");
        break;
    case PlatformOp::tick_count:
        if (!clock_read) at_clock = look();
        clock_read = true;
        break;
    case PlatformOp::escape_pressed: throw FirstPoll{};
    default: break;
    }
}

const char* name_of(PlatformOp op) {
    static const char* const names[] = {
        "set_display_mode", "hide_cursor", "create_window", "get_device_context", "sound_create_device",
        "create_thread", "set_thread_time_critical", "set_pixel_format", "create_gl_context", "tick_count",
        "escape_pressed", "present"};
    return names[int(op)];
}

}  // namespace

TEST(StartUp, StepsComeInTheirFixedOrder) {
    headless::reset();
    headless::set_call_observer(observe);
    const platform::DeviceContext dc = start_up();
    EXPECT_THROW(run_frame_loop(dc), FirstPoll);
    headless::set_call_observer(nullptr);

    std::string calls;
    for (uint32_t i = 0; i < headless::platform_log_size(); ++i) calls += std::string(name_of(headless::platform_log()[i])) + "\n";
    // The loop's first act samples the clock, then Escape is polled once before any frame.
    EXPECT_EQ(calls,
              "set_display_mode\nhide_cursor\ncreate_window\nget_device_context\nsound_create_device\n"
              "create_thread\nset_thread_time_critical\nset_pixel_format\ncreate_gl_context\n"
              "tick_count\nescape_pressed\n");
    EXPECT_EQ(headless::started_thread(), &sequencer_thread_proc);

    // The sequencer starts on complete buffers and a complete pitch table, before any graphics.
    EXPECT_TRUE(at_create_thread.buffers_filled);
    EXPECT_TRUE(at_create_thread.pitch_table);
    EXPECT_FALSE(at_create_thread.particle_field);
    // Textures and particles come before the font, the timeline tables after it.
    ASSERT_TRUE(font_seen);
    EXPECT_TRUE(at_font.particle_field);
    EXPECT_TRUE(at_font.texture_bound);
    EXPECT_FALSE(at_font.flash_times);
    EXPECT_FALSE(at_font.caption_windows);
    // Everything is built when the clock is sampled.
    EXPECT_TRUE(at_clock.font_lists);
    EXPECT_TRUE(at_clock.flash_times);
    EXPECT_TRUE(at_clock.caption_windows);
}
