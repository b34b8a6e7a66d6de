// Test tool: the demo's music alone on the SDL2 backend, for the thread sanitizer. Start-up
// opens the default sound device and fills the instrument buffers, then the real sequencer
// thread plays the song into SDL's audio callback (and the device watcher runs beside them)
// while the main thread waits. Ends after the given seconds of real time, as the demo ends:
// by an immediate exit with code 0.
//
// Usage: sequencer_drive [seconds, default 12]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "music/music.h"

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 12.0;
    init_audio(nullptr);
    build_pitch_table();
    start_sequencer();
    int buffers = 0;
    for (platform::SoundBufferHandle b : instrument_buffers) buffers += b != nullptr;
    std::printf("sequencer_drive: %d instrument buffers, playing for %.1f s\n", buffers, seconds);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    platform::exit_process(0);
}
