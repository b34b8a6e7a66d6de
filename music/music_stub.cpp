// Temporary: silent until the synthesizer and sequencer land.
#include "music/music.h"
void init_audio(platform::WindowHandle) {}
void build_pitch_table() {}
void start_sequencer() {}
