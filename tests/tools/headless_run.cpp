// Test tool: the demo run headless from start to end, for the sanitizer builds, the heap census
// and the memory figures. Links the demo's code as a shared library of its own, so that tools
// looking at return addresses can tell the demo's code from everything else.
//
//   headless_run script    the whole script at 60 frames per second: t = 0 to 82000 ms,
//                          4,921 frames, each rendered and presented as the frame loop does
//   headless_run song      the offline song: 832 sequencer rows, 3,969 samples mixed per row
//   headless_run census    1,000 frames spread over the script, then 1,000 sequencer rows
//   headless_run control   three allocations of this program's own, to prove the census sees them
//   headless_run readback  the modes after it read every frame's picture back, as a capture does
//
// Several modes may follow one another in one run. Each names its phase to the heap census
// when the census shim is loaded (demo_census_phase), and the run ends by printing its peak
// resident memory. Exit code 0 when every frame and row ran as expected. Main thread only.
#include <dlfcn.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "music/music.h"
#include "platform/headless/headless.h"
#include "runtime/runtime.h"

namespace {

constexpr uint32_t kScriptFrames = kScriptEnd * 60 / 1000 + 1;  // 60 fps from 0 to the end inclusive
constexpr uint32_t kCensusFrames = 1000;
constexpr uint32_t kCensusRows = 1000;

uint8_t picture[platform::kPictureWidth * platform::kPictureHeight * 4];
uint8_t row_samples[kRowSamples];
platform::DeviceContext dc;

using Clock = std::chrono::steady_clock;
double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void census_phase(const char* name) {
    using Phase = void (*)(const char*);
    static auto phase = reinterpret_cast<Phase>(dlsym(RTLD_DEFAULT, "demo_census_phase"));
    if (phase != nullptr) phase(name);
}

// Set by the mode "readback": every frame's picture is read back, as the capture tool does.
// Without it frames go to the renderer back to back and it may queue many of them.
bool read_every_frame;

// One turn of the frame loop with the clock at scene time t. False past the end of the script.
bool frame(uint32_t t) {
    headless::set_ticks(clock_origin + t);
    if (!frame_turn(dc)) return false;
    if (read_every_frame) headless::read_pixels(picture);
    return true;
}

bool run_script() {
    census_phase("script");
    const auto start = Clock::now();
    uint64_t sum = 0;
    for (uint32_t i = 0; i < kScriptFrames; ++i) {
        const uint32_t t = i * 1000 / 60;
        if (!frame(t)) {
            std::printf("script: frame %u at t = %u ms ended the run early\n", i, t);
            return false;
        }
        if (i % 60 == 0) {  // a look at the picture once a second of script
            headless::read_pixels(picture);
            for (uint8_t b : picture) sum += b;
        }
    }
    const bool past_end = !render_frame(kScriptEnd + 1);
    std::printf("script: %u frames from 0 to %u ms in %.2f s (picture sum %llu); t = %u %s\n", kScriptFrames,
                (kScriptFrames - 1) * 1000 / 60, seconds_since(start), static_cast<unsigned long long>(sum),
                kScriptEnd + 1, past_end ? "ends the script" : "DID NOT end the script");
    return past_end;
}

bool run_rows(uint32_t rows, const char* what) {
    const auto start = Clock::now();
    SequencerCursor cursor{0, 0};
    uint64_t sum = 0;
    for (uint32_t r = 0; r < rows; ++r) {
        sequencer_play_row(cursor);
        headless::mix(row_samples, kRowSamples);
        for (uint8_t s : row_samples) sum += s;
    }
    std::printf("%s: %u rows, %u samples mixed in %.3f s (sample sum %llu)\n", what, rows, rows * kRowSamples,
                seconds_since(start), static_cast<unsigned long long>(sum));
    return true;
}

// Three allocations made by this program's own code, one straight through new, one through the
// C library and one inside a standard container: the census must put all three down to it.
bool run_control() {
    census_phase("control");
    static int* volatile direct;  // volatile: the compiler may not drop the new/delete pair
    direct = new int(1);
    char* copied = strdup("control");
    std::vector<int> grown(1000, 1);
    const bool ok = *direct == 1 && copied != nullptr && grown.size() == 1000;
    std::printf("control: 3 allocations made by headless_run itself\n");
    delete direct;
    std::free(copied);
    return ok;
}

bool run_census() {
    census_phase("frames");
    const auto start = Clock::now();
    for (uint32_t i = 0; i < kCensusFrames; ++i) {
        const uint32_t t = i * 82;  // every scene and every caption window is visited
        if (!frame(t)) {
            std::printf("census: frame at t = %u ms ended the run early\n", t);
            return false;
        }
    }
    std::printf("census: %u frames from 0 to %u ms in %.2f s\n", kCensusFrames, (kCensusFrames - 1) * 82,
                seconds_since(start));
    census_phase("rows");
    return run_rows(kCensusRows, "census");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: headless_run script|song|census|control|readback ...\n");
        return 2;
    }
    census_phase("start-up");
    const auto start = Clock::now();
    dc = start_up();
    if (!start_clock()) return 1;
    std::printf("start-up: %.3f s\n", seconds_since(start));

    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        if (std::strcmp(argv[i], "script") == 0) {
            ok = run_script();
        } else if (std::strcmp(argv[i], "song") == 0) {
            census_phase("song");
            ok = run_rows(kSongRows, "song");
        } else if (std::strcmp(argv[i], "census") == 0) {
            ok = run_census();
        } else if (std::strcmp(argv[i], "control") == 0) {
            ok = run_control();
        } else if (std::strcmp(argv[i], "readback") == 0) {
            read_every_frame = true;
        } else {
            std::fprintf(stderr, "headless_run: unknown mode %s\n", argv[i]);
            return 2;
        }
    }
    census_phase("end");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MiB\n", double(usage.ru_maxrss) / 1024.0);
    return ok ? 0 : 1;
}
