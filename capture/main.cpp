// demo-capture: renders the demo offline on the headless backend, one frame period of the
// visual clock per frame, mixes its music on the same timeline and hands both to ffmpeg (an
// MP4, a lossless Matroska file, or PNG frames with a WAV). Main thread only; ffmpeg runs as a
// child process fed through a pipe.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/options.h"
#include "capture/output.h"
#include "capture/progress.h"
#include "capture/soundtrack.h"
#include "capture/timeline.h"
#include "platform/headless/headless.h"
#include "runtime/runtime.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void on_signal(int) { interrupted = 1; }

void catch_signals() {
    struct sigaction sa = {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    // A dead ffmpeg shows as a failed write, reported with its exit status.
    signal(SIGPIPE, SIG_IGN);
}

int fail(const std::string& message, int code = 1) {
    std::fprintf(stderr, "demo-capture: %s\n", message.c_str());
    return code;
}


}  // namespace

int main(int argc, char** argv) {
    using namespace capture;

    Options options;
    std::string error;
    if (!parse_options(argc, argv, options, error)) return fail(error, 2);
    if (options.help) {
        std::fputs(help_text().c_str(), stdout);
        return 0;
    }
    Range range;
    if (!frames_in(options.fps, options.start_ms, options.end_ms, range))
        return fail("no frame at " + std::to_string(options.fps) + " fps has a scene time from " +
                        std::to_string(options.start_ms) + " to " + std::to_string(options.end_ms) + " ms",
                    2);
    const std::string path = options.output.empty() ? default_output(options.format) : options.output;

    if (find_on_path("ffmpeg").empty())
        return fail("ffmpeg was not found on PATH; it encodes every format "
                    "(Debian: apt-get install ffmpeg). Nothing was written.");
    if (!check_output_path(options.format, path, error)) return fail(error);
    catch_signals();

    // A sharp capture draws at the output's size from the start; the picture is made once.
    if (options.sharp) headless::set_picture_size(int(options.width), int(options.height));
    std::vector<uint8_t> picture(size_t(headless::picture_width()) * size_t(headless::picture_height()) * 4);
    start_up();
    const std::vector<uint8_t> soundtrack = mix_song(song_span(range, options.head_start_ms));

    Output out;
    if (!open_output(out, options, path, soundtrack, kSampleRate, error)) return fail(error);
    if (options.format == Format::png) {
        std::vector<uint32_t> times;
        for (uint32_t k = range.first_frame; k <= range.last_frame; ++k) times.push_back(frame_time(k, range.fps));
        if (!write_times(out, times, error)) {
            abandon_output(out);
            return fail(error);
        }
    }

    Progress progress;
    progress_start(progress, range.last_frame + 1, range.fps);
    // Every frame from the first: trails, zooms and the swarm's depths build up frame by frame.
    for (uint32_t k = 0; k <= range.last_frame; ++k) {
        if (interrupted) {
            progress_end(progress, "");
            abandon_output(out);
            return fail("interrupted; nothing was written", 130);
        }
        const uint32_t t = frame_time(k, range.fps);
        headless::set_ticks(t);
        render_frame(t);
        if (k >= range.first_frame) {
            headless::read_pixels(picture.data());
            if (!write_frame(out, picture.data(), error)) {
                progress_end(progress, "");
                std::string why;
                abandon_output(out, &why);
                return fail(error + (why.empty() ? "" : "; " + why) + "; nothing was written");
            }
        }
        progress_update(progress, k + 1);
    }
    if (!finish_output(out, error)) {
        progress_end(progress, "");
        return fail(error + "; nothing was written");
    }

    const double seconds = progress_seconds(progress);
    const double length = double(frame_count(range)) / range.fps;
    char summary[512];
    std::snprintf(summary, sizeof summary, "wrote %s: %u frames (%.2f s) in %.1f s, %.2fx real time", path.c_str(),
                  frame_count(range), length, seconds, double(range.last_frame + 1) / range.fps / seconds);
    progress_end(progress, summary);
    return 0;
}
