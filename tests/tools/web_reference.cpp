// Test tool: what the native headless renderer makes of the runs the web page's test hooks
// make, for the browser tests to compare against. Main thread only.
//
//   web_reference song ROWS OUT        the first ROWS sequencer rows mixed offline, 3,969
//                                      samples a row, as raw 8-bit samples in OUT
//   web_reference frames STEP T,T,... DIR [WIDTH]
//                                      frames 0, STEP, 2 STEP ... up to the last T in one pass;
//                                      the picture after frame T as DIR/frame_T.rgba (RGBA rows
//                                      bottom-up), DIR/words_T.u8 (per pixel, 1 + the caption
//                                      whose glyph covers it, else 0: each word drawn alone in
//                                      white on black with texturing off, after the run), and
//                                      per-scene frame rates on stdout; with WIDTH, a sharp
//                                      picture WIDTH x 3/4 WIDTH pixels
//   web_reference bench STEP           only the frames inside each timed scene window, STEP ms
//                                      apart, and their frame rates on stdout
//   web_reference windows              the timed scene windows, one a line: name, from, to
//                                      (ms, both ends exclusive), separated by tabs
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/scene_windows.h"
#include "captions/captions.h"
#include "music/music.h"
#include "platform/gl.h"
#include "platform/headless/headless.h"
#include "runtime/runtime.h"

namespace {

std::vector<uint8_t> picture;  // the last picture read: RGBA, rows bottom-up
uint8_t row_samples[kRowSamples];

using scene_windows::kSceneCount;
using scene_windows::kScenes;
// Frames drawn and the time they took, per timed scene window.
uint32_t scene_frames[kSceneCount];
double scene_seconds[kSceneCount];

bool write_file(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

int song(uint32_t rows, const char* out) {
    start_up();
    std::vector<uint8_t> all;
    SequencerCursor cursor{0, 0};
    for (uint32_t r = 0; r < rows; ++r) {
        sequencer_play_row(cursor);
        headless::mix(row_samples, kRowSamples);
        all.insert(all.end(), row_samples, row_samples + kRowSamples);
    }
    return write_file(out, all.data(), all.size()) ? 0 : 1;
}

// Where the words of the captions active at t put their glyphs, on the legacy GL path: each
// word alone, white, untextured (texture 0 has no image) over black.
bool write_words(uint32_t t, const std::string& path) {
    std::vector<uint8_t> labels(picture.size() / 4, 0);
    for (int i = 0; i < kCaptionCount; ++i) {
        if (!(caption_windows[i].start < t && t < caption_windows[i].end)) continue;
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_BLEND);
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        draw_caption(caption_texts[i], 2 * caption_positions[i].x, 2 * caption_positions[i].y);
        headless::read_pixels(picture.data());
        for (size_t p = 0; p < labels.size(); ++p)
            if (picture[4 * p] == 255 && picture[4 * p + 1] == 255 && picture[4 * p + 2] == 255) labels[p] = uint8_t(i + 1);
    }
    return write_file(path, labels.data(), labels.size());
}

void print_scene(int i) {
    std::printf("native scene: %s: %.1f frames/s (%u frames)\n", kScenes[i].name, scene_frames[i] / scene_seconds[i],
                scene_frames[i]);
}

int frames(uint32_t step, const char* list, const std::string& dir, int width) {
    std::vector<uint32_t> wanted;
    for (const char* p = list; *p != '\0';) {
        char* end = nullptr;
        wanted.push_back(uint32_t(std::strtoul(p, &end, 10)));
        p = *end == ',' ? end + 1 : end;
        if (end == p && *p != '\0') return 2;
    }
    uint32_t last = 0;
    for (uint32_t t : wanted) last = t > last ? t : last;
    if (step == 0 || wanted.empty()) return 2;

    if (width != platform::kPictureWidth && !headless::set_picture_size(width, width * 3 / 4)) return 1;
    picture.resize(size_t(headless::picture_width()) * size_t(headless::picture_height()) * 4);
    const platform::DeviceContext dc = start_up();
    using Clock = std::chrono::steady_clock;
    const auto run_start = Clock::now();
    uint32_t count = 0;
    for (uint32_t t = 0; t <= last; t += step) {
        const auto before = Clock::now();
        if (!render_frame(t)) break;
        platform::present(dc);
        for (uint32_t w : wanted) {
            if (w != t) continue;
            headless::read_pixels(picture.data());
            if (!write_file(dir + "/frame_" + std::to_string(t) + ".rgba", picture.data(), picture.size())) return 1;
        }
        ++count;
        // Finished before the next frame, so no queue of frames builds up in the driver.
        glFinish();
        const double seconds = std::chrono::duration<double>(Clock::now() - before).count();
        for (int i = 0; i < kSceneCount; ++i) {
            if (t > kScenes[i].from && t < kScenes[i].to) {
                ++scene_frames[i];
                scene_seconds[i] += seconds;
            }
        }
    }
    for (uint32_t t : wanted)
        if (!write_words(t, dir + "/words_" + std::to_string(t) + ".u8")) return 1;
    std::printf("native frames: %u in %.2f s\n", count, std::chrono::duration<double>(Clock::now() - run_start).count());
    for (int i = 0; i < kSceneCount; ++i)
        if (scene_frames[i] > 0) print_scene(i);
    return 0;
}

int bench(uint32_t step) {
    if (step == 0) return 2;
    const platform::DeviceContext dc = start_up();
    for (int i = 0; i < kSceneCount; ++i) {
        const auto start = std::chrono::steady_clock::now();
        for (uint32_t t = kScenes[i].from + step; t < kScenes[i].to; t += step) {
            render_frame(t);
            platform::present(dc);
            glFinish();
            ++scene_frames[i];
        }
        scene_seconds[i] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        print_scene(i);
    }
    return 0;
}

int windows() {
    for (const scene_windows::Window& w : kScenes) std::printf("%s\t%u\t%u\n", w.name, w.from, w.to);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "song") == 0) return song(uint32_t(std::strtoul(argv[2], nullptr, 10)), argv[3]);
    if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "frames") == 0)
        return frames(uint32_t(std::strtoul(argv[2], nullptr, 10)), argv[3], argv[4],
                      argc == 6 ? int(std::strtol(argv[5], nullptr, 10)) : platform::kPictureWidth);
    if (argc == 3 && std::strcmp(argv[1], "bench") == 0) return bench(uint32_t(std::strtoul(argv[2], nullptr, 10)));
    if (argc == 2 && std::strcmp(argv[1], "windows") == 0) return windows();
    std::fprintf(stderr, "usage: web_reference song ROWS OUT | frames STEP T,T,... DIR [WIDTH] | bench STEP | windows\n");
    return 2;
}
