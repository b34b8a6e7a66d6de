// The 640 x 480 offscreen target the demo draws into on the SDL2 and headless backends: a
// framebuffer object with RGBA8 colour and the deepest depth buffer the driver offers. It keeps
// its picture across presents, so the fade trails look the same on every driver.
// Main thread, with the GL context current.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace offscreen {

using platform::kPictureWidth;
using platform::kPictureHeight;

// Creates the target, binds it for drawing and reading and sets the 640 x 480 viewport.
// False if the driver offers no complete framebuffer.
bool create();
// Where the picture goes in a window of this size: the largest 4:3 rectangle that fits,
// centred: x, y from the bottom-left corner (from the top-left too, within a pixel).
struct Placement {
    int x, y, width, height;
};
Placement place_picture(int window_width, int window_height);
// Copies the picture, scaled with its 4:3 aspect kept and black bars, to the window's own
// framebuffer of the given size, then binds the target again.
void blit_to_window(int window_width, int window_height);
// The picture as RGBA bytes, rows bottom-up.
void read(uint8_t* rgba);
// Depth bits of the target (32, or 24 where 32 is not offered).
int depth_bits();

}  // namespace offscreen
