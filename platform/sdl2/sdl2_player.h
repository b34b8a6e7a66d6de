// What the desktop player's command line asks of the SDL2 backend. Set by the player's entry
// (platform/sdl2/player_main.cpp) before the demo's start-up; read by the display code. Main
// thread only.
#pragma once

#include "platform/common/gl_choice.h"

namespace sdl2_player {

// Start in a resizable window instead of covering the screen.
extern bool start_in_window;
// Draw the picture at the size of the 4:3 box it is shown in (device pixels, up to 2880 x 2160),
// made again when the window's size changes, rather than the classic 640 x 480 scaled.
extern bool sharp;
// Draw through the fixed-function layer (the default) or with legacy GL.
extern gl_choice::Gl gl;

}  // namespace sdl2_player
