// Start-up: display, window, music, rendering context, projection and light, then the data of
// the effects, the captions and the timeline, in this fixed order. Main thread.
//
// The music starts (step 7) before the rendering context exists, so the song runs ahead of the
// visual clock by the time the graphics set-up takes.
#include "captions/captions.h"
#include "effects/effects.h"
#include "music/music.h"
#include "platform/gl.h"
#include "runtime/runtime.h"

namespace {

platform::WindowHandle window;
platform::DeviceContext device_context;

// Light 0: a grey directional light along the view direction, fixed in eye space.
const GLfloat light_diffuse[4]  = {0.5f, 0.5f, 0.5f, 0.0f};
const GLfloat light_position[4] = {0.0f, 0.0f, 1.0f, 0.0f};  // w = 0: a direction

}  // namespace

platform::DeviceContext start_up() {
    platform::set_display_mode();
    platform::hide_cursor();
    window = platform::create_window();
    device_context = platform::get_device_context(window);

    init_audio(window);
    build_pitch_table();
    start_sequencer();

    platform::set_pixel_format(device_context);
    platform::create_gl_context(device_context);

    glMatrixMode(GL_PROJECTION);
    // Near plane: the single-precision 0.1 widened, so the fade quad at z = -0.1f sits exactly on it.
    gluPerspective(110.0, 1.3333333333333333, 0.10000000149011612, 110.0);
    glMatrixMode(GL_MODELVIEW);

    glLightfv(GL_LIGHT0, GL_DIFFUSE, light_diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, light_position);  // under the identity modelview
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_TEXTURE_2D);  // on for the whole run: every primitive is textured

    init_textures_and_particles();
    init_caption_font(device_context);
    build_flash_times();
    build_caption_windows();
    return device_context;
}
