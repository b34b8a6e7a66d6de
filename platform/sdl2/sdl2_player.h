// What the desktop player's command line asks of the SDL2 backend. Set by the player's entry
// (platform/sdl2/player_main.cpp) before the demo's start-up; read by the display code. Main
// thread only.
#pragma once

#include "platform/common/gl_choice.h"

namespace sdl2_player {

// Start in a resizable window instead of covering the screen.
extern bool start_in_window;
// Draw through the fixed-function layer (the default) or with legacy GL.
extern gl_choice::Gl gl;

}  // namespace sdl2_player
