// The capture tool's command line: formats, frame rate, output, the music's head start, the
// time range, the output size and whether it is scaled up or drawn sharp at that size. Capture tool, main thread.
#pragma once

#include <cstdint>
#include <string>

namespace capture {

enum class Format { mp4, lossless, png };

// How far the live program's music runs ahead of its visual clock, in ms: the start-up time
// that bench_startup measures (main to the end of start_up; the song starts near its
// beginning), 108 to 117 ms on a quiet 2-core machine, rounded.
constexpr uint32_t kDefaultHeadStartMs = 100;

struct Options {
    Format format = Format::mp4;
    std::string output;          // empty: the format's default name
    uint32_t fps = 60;           // frames per second
    uint32_t head_start_ms = kDefaultHeadStartMs;
    uint32_t start_ms = 0;       // first scene time written, ms
    uint32_t end_ms = 82000;     // last scene time written, ms (clamped to the demo's end)
    uint32_t scale = 1;          // 1: 640x480, 2: 1280x960, 3: 1920x1440
    uint32_t width = 0;          // --size: the output's size (4:3); 0: 640 x 480 times the scale
    uint32_t height = 0;
    bool sharp = false;          // drawn at the output's size rather than scaled up to it
    bool smooth = false;         // upscale filter: false nearest neighbour, true bicubic
    std::string preset = "superfast";  // x264 speed preset (mp4 only): a quarter less CPU than
                                       // veryfast for a sixth more bytes at the same quality
    uint32_t crf = 18;           // x264 constant quality, lower is better (mp4 only)
    bool help = false;
};

// The largest output --size takes, pixels (the sharp picture's largest size).
constexpr uint32_t kMaxWidth = 2880;
constexpr uint32_t kMaxHeight = 2160;

// Parses argv; false with `error` set on a bad or unknown option. Afterwards width and height
// hold the output's size, given or from the scale.
bool parse_options(int argc, char** argv, Options& out, std::string& error);
// The text of --help.
std::string help_text();
// The output name used when none is given.
const char* default_output(Format f);

}  // namespace capture
