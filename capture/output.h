// Where a capture goes: the ffmpeg process fed raw frames through a pipe, the soundtrack beside
// it, all under a temporary name in the output's folder that is renamed to the final name only
// when everything has been written. Capture tool, main thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "capture/options.h"

namespace capture {

struct Output {
    Format format;
    std::string final_path;
    std::string temp_path;  // the file, or the PNG folder, being written
    std::string temp_wav;   // soundtrack handed to ffmpeg (video formats)
    pid_t ffmpeg = -1;
    int pipe_fd = -1;       // ffmpeg's standard input
    size_t frame_bytes = 0; // one RGBA picture as the demo draws it
};

// Full path of `name` on PATH, or empty.
std::string find_on_path(const char* name);

// Checks that the final name can be taken (not a folder for a video; no existing PNG folder).
bool check_output_path(Format format, const std::string& path, std::string& error);

// Creates the temporary output, writes the soundtrack (8-bit mono at `rate`) and starts ffmpeg.
// On failure nothing is left behind.
bool open_output(Output& out, const Options& options, const std::string& path,
                 const std::vector<uint8_t>& soundtrack, uint32_t rate, std::string& error);
// For the PNG format: the scene time of each frame written, one line per frame.
bool write_times(Output& out, const std::vector<uint32_t>& times, std::string& error);
// One RGBA picture at the size the demo draws (640 x 480, or the output's size when sharp),
// rows bottom-up as GL reads them.
bool write_frame(Output& out, const uint8_t* rgba, std::string& error);
// Ends ffmpeg's input, waits for it and moves the result to its final name.
bool finish_output(Output& out, std::string& error);
// Removes everything temporary and stops ffmpeg: with `why` null at once (an interrupt), else by
// ending its input, and `why` gets how it ended (after a failed write).
void abandon_output(Output& out, std::string* why = nullptr);

}  // namespace capture
