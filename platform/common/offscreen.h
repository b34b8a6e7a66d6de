// The offscreen target the demo draws into on the SDL2 and headless backends: a framebuffer
// object with RGBA8 colour and the deepest depth buffer the driver offers. It keeps its picture
// across presents, so the fade trails look the same on every driver. Its size is the classic
// 640 x 480, or in sharp mode the size of the 4:3 box the picture is shown in; it can be made
// again at another size while the demo runs. Main thread, with the GL context current.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace offscreen {

using platform::kPictureWidth;
using platform::kPictureHeight;

// The largest sharp picture: four and a half times the classic one each way.
constexpr int kMaxSharpWidth = 2880;
constexpr int kMaxSharpHeight = 2160;

// Creates the target at width x height (or gives the existing one that size), binds it for
// drawing and reading, sets the viewport to the whole of it, clears it to black and has the
// caption font's glyphs rasterized for that size. False if the driver offers no complete
// framebuffer of that size.
bool create(int width, int height);
int width();
int height();
// Where the picture goes in a window of this size: the largest 4:3 rectangle that fits,
// centred: x, y from the bottom-left corner (from the top-left too, within a pixel).
struct Placement {
    int x, y, width, height;
};
Placement place_picture(int window_width, int window_height);
// The sharp picture for a window of this size: its 4:3 box in whole steps of 4 x 3 pixels, no
// larger than 2880 x 2160 and no smaller than 160 x 120.
struct Size {
    int width, height;
};
Size sharp_size(int window_width, int window_height);
// Copies the picture, scaled with its 4:3 aspect kept and black bars, to the window's own
// framebuffer of the given size, then binds the target again.
void blit_to_window(int window_width, int window_height);
// The picture as RGBA bytes, rows bottom-up; width() x height() x 4 bytes.
void read(uint8_t* rgba);
// Depth bits of the target (32, or 24 where 32 is not offered).
int depth_bits();

}  // namespace offscreen
