// The music: nine synthesized instrument samples in sound buffers and the sequencer thread that
// plays the song on them. Set-up on the main thread; the sequencer thread afterwards.
#pragma once

#include "platform/platform.h"

// Opens the sound device for this window and fills the nine instrument buffers.
void init_audio(platform::WindowHandle window);
// Fills the 108-entry pitch table. Called once, before start_sequencer.
void build_pitch_table();
// Starts the time-critical sequencer thread, which plays the first row at once.
void start_sequencer();
