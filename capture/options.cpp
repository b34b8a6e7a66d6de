// Command-line parsing and help of the capture tool. Capture tool, main thread.
#include "capture/options.h"

#include <cstdlib>
#include <cstring>

#include "capture/timeline.h"
#include "platform/platform.h"

namespace capture {

namespace {

bool parse_number(const std::string& text, uint32_t lo, uint32_t hi, uint32_t& out) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    const unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
    if (v < lo || v > hi) return false;
    out = uint32_t(v);
    return true;
}

// "W x H" with an x (or a multiplication sign) between: 4:3, even, from 160 x 120 to the largest.
bool parse_size(const std::string& text, uint32_t& width, uint32_t& height) {
    size_t split = text.find('x');
    size_t skip = 1;
    if (split == std::string::npos) {
        split = text.find("\u00d7");
        skip = std::strlen("\u00d7");
    }
    if (split == std::string::npos) return false;
    if (!parse_number(text.substr(0, split), 160, kMaxWidth, width) ||
        !parse_number(text.substr(split + skip), 120, kMaxHeight, height))
        return false;
    // H.264 in 4:2:0 wants even sizes.
    return width * 3 == height * 4 && width % 2 == 0 && height % 2 == 0;
}

const char* const kPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                "medium",    "slow",      "slower",   "veryslow"};

}  // namespace

const char* default_output(Format f) {
    switch (f) {
        case Format::mp4: return "demo.mp4";
        case Format::lossless: return "demo.mkv";
        case Format::png: return "demo-frames";
    }
    return "demo.mp4";
}

std::string help_text() {
    return std::string() +
        "Usage: demo-capture [options]\n"
        "\n"
        "Renders the demo offline, frame by frame, on the headless backend and writes it as a\n"
        "video with its music. Needs the ffmpeg program on PATH (Debian: apt-get install ffmpeg).\n"
        "\n"
        "  -o, --output PATH      where to write (default demo.mp4, demo.mkv or demo-frames);\n"
        "                         an existing file is replaced, a PNG folder must not exist yet\n"
        "  -f, --format NAME      mp4       H.264 (yuv420p) with the music as AAC (default)\n"
        "                         lossless  FFV1 (RGB) with the music as FLAC, in Matroska\n"
        "                         png       a folder of frame_00000.png, ... (numbered from the\n"
        "                                   first frame written), times.txt (each frame's scene\n"
        "                                   time in ms) and audio.wav (8-bit mono, 44,100 Hz)\n"
        "  -r, --fps N            frames per second, 1 to 240 (default 60)\n"
        "      --head-start MS    how far the music runs ahead of the pictures, 0 to 10000 ms\n"
        "                         (default " + std::to_string(kDefaultHeadStartMs) + " ms: the live program starts the song\n"
        "                         before its visual clock by its start-up time, which is\n"
        "                         what bench/bench_startup measures, rounded)\n"
        "      --start MS         first scene time to write (default 0)\n"
        "      --end MS           last scene time to write (default 82000, the demo's end)\n"
        "      --scale N          1 (640x480, default), 2 (1280x960) or 3 (1920x1440)\n"
        "      --size WxH         the output's size instead: 4:3, even, up to 2880x2160\n"
        "      --filter NAME      upscale filter: nearest (default) or smooth (bicubic)\n"
        "      --sharp            draw the picture at the output's size (glyphs rasterized at\n"
        "                         it) instead of scaling the 640x480 picture up\n"
        "      --preset NAME      x264 speed preset for mp4 (default superfast)\n"
        "      --crf N            x264 quality for mp4, 0 to 51, lower is better (default 18)\n"
        "  -h, --help             this text\n"
        "\n"
        "Frame k shows scene time floor(k * 1000 / fps) ms, as the live millisecond clock would,\n"
        "for every k up to the last time <= 82000 ms (at 60 fps: 4,921 frames, 82.02 s). Every\n"
        "frame from 0 ms on is rendered, also before --start, so trails, zooms and the cube\n"
        "swarm are as they would be live at that frame rate; only those in the range are\n"
        "written. The trails fade once per frame, so their length depends on the frame rate.\n"
        "The music under the written frames is the song from (first frame's time + head start)\n"
        "on, exactly as long as the frames last. The same options give the same PNG and WAV\n"
        "bytes. Nothing is left under the output name unless the whole capture succeeded.\n"
        "\n"
        "Exit status: 0 written, 1 failed (ffmpeg missing or failing, output not writable),\n"
        "2 bad options, 130 interrupted.\n";
}

bool parse_options(int argc, char** argv, Options& out, std::string& error) {
    bool scale_given = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool has_value = false;
        if (arg.rfind("--", 0) == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                has_value = true;
            }
        }
        if (arg == "-h" || arg == "--help") {
            out.help = true;
            continue;
        }
        if (arg == "--sharp" && !has_value) {
            out.sharp = true;
            continue;
        }
        static const char* const kTakesValue[] = {"-o", "--output", "-f", "--format", "-r", "--fps",
                                                  "--head-start", "--start", "--end", "--scale",
                                                  "--size", "--filter", "--preset", "--crf"};
        bool known = false;
        for (const char* name : kTakesValue) known = known || arg == name;
        if (!known) {
            error = "unknown option '" + std::string(argv[i]) + "' (see --help)";
            return false;
        }
        if (!has_value) {
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }

        bool ok = true;
        if (arg == "-o" || arg == "--output") {
            ok = !value.empty();
            out.output = value;
        } else if (arg == "-f" || arg == "--format") {
            if (value == "mp4") out.format = Format::mp4;
            else if (value == "lossless" || value == "mkv") out.format = Format::lossless;
            else if (value == "png") out.format = Format::png;
            else ok = false;
        } else if (arg == "-r" || arg == "--fps") {
            ok = parse_number(value, 1, kMaxFps, out.fps);
        } else if (arg == "--head-start") {
            ok = parse_number(value, 0, 10000, out.head_start_ms);
        } else if (arg == "--start") {
            ok = parse_number(value, 0, kScriptEnd, out.start_ms);
        } else if (arg == "--end") {
            ok = parse_number(value, 0, 999999999, out.end_ms);
        } else if (arg == "--scale") {
            ok = parse_number(value, 1, 3, out.scale);
            scale_given = true;
        } else if (arg == "--size") {
            ok = parse_size(value, out.width, out.height);
        } else if (arg == "--filter") {
            ok = value == "nearest" || value == "smooth";
            out.smooth = value == "smooth";
        } else if (arg == "--preset") {
            ok = false;
            for (const char* p : kPresets) ok = ok || value == p;
            out.preset = value;
        } else if (arg == "--crf") {
            ok = parse_number(value, 0, 51, out.crf);
        }
        if (!ok) {
            error = "bad value '" + value + "' for " + arg + " (see --help)";
            return false;
        }
    }
    if (out.start_ms > out.end_ms) {
        error = "--start is after --end";
        return false;
    }
    if (scale_given && out.width != 0) {
        error = "--scale and --size both give the size; use one";
        return false;
    }
    if (out.width == 0) {
        out.width = platform::kPictureWidth * out.scale;
        out.height = platform::kPictureHeight * out.scale;
    }
    return true;
}

}  // namespace capture
