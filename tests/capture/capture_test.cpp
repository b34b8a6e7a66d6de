// The real demo-capture program, run on short ranges into PNG frames and a WAV: which frames it
// writes at which scene times, that each frame is the headless picture after the same preceding
// frames, that the same options give the same bytes, and what music lies under the frames.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "music/music.h"
#include "platform/headless/headless.h"
#include "tests/support/headless_demo.h"

namespace fs = std::filesystem;
using namespace test_support;

namespace {

// The tool sits at the top of the build folder, this test in its tests/ folder.
std::string tool() {
    if (const char* path = std::getenv("DEMO_CAPTURE")) return path;
    return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "demo-capture").string();
}

// A fresh folder for one test's files.
fs::path scratch(const std::string& name) {
    const char* dir = std::getenv("DEMO_TEST_ARTIFACTS");
    const fs::path p = fs::path(dir != nullptr ? dir : fs::temp_directory_path().string()) /
                       ("capture-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

// Removes a test's folder when the test passed; a failed one keeps it for a look.
struct ScratchCleanup {
    fs::path dir;
    ~ScratchCleanup() {
        if (!::testing::Test::HasFailure()) fs::remove_all(dir);
    }
};

int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs demo-capture into a PNG folder `out` with these extra options; asserts success.
void capture_png(const fs::path& out, const std::string& options) {
    const std::string command = tool() + " --format png -o " + out.string() + " " + options;
    ASSERT_EQ(run(command), 0) << command;
}

std::vector<uint8_t> read_bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Scene times listed in times.txt, in frame order, with the file names checked.
std::vector<uint32_t> listed_times(const fs::path& folder) {
    std::ifstream in(folder / "times.txt");
    std::vector<uint32_t> times;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string file;
        uint32_t t = 0;
        fields >> file >> t;
        char expected[32];
        std::snprintf(expected, sizeof expected, "frame_%05zu.png", times.size());
        EXPECT_EQ(file, expected);
        EXPECT_TRUE(fs::exists(folder / file)) << file;
        times.push_back(t);
    }
    return times;
}

// All frames of a PNG folder decoded by ffmpeg to RGB rows, top-down, one after the other.
std::vector<uint8_t> decoded_frames(const fs::path& folder) {
    const fs::path raw = folder / "decoded.rgb";
    const std::string command = "ffmpeg -v error -y -i " + (folder / "frame_%05d.png").string() +
                                " -f rawvideo -pix_fmt rgb24 " + raw.string();
    EXPECT_EQ(run(command), 0) << command;
    return read_bytes(raw);
}

// The WAV's samples after its 44-byte header, with the header's own count checked.
std::vector<uint8_t> wav_samples(const fs::path& path) {
    const std::vector<uint8_t> file = read_bytes(path);
    EXPECT_GE(file.size(), 44u);
    if (file.size() < 44) return {};
    const uint32_t count = file[40] | file[41] << 8 | file[42] << 16 | uint32_t(file[43]) << 24;
    const uint32_t rate = file[24] | file[25] << 8 | file[26] << 16 | uint32_t(file[27]) << 24;
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(file.size(), 44u + count + (count & 1));
    return std::vector<uint8_t>(file.begin() + 44, file.begin() + 44 + count);
}

struct RangeCase {
    const char* name;
    const char* options;
    uint32_t fps;
    std::vector<uint32_t> times;  // floor(k * 1000 / fps) of the frames in the range
    int scale;
    bool sharp = false;  // drawn at the output's size, not scaled up
};

void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.name << ": " << c.options; }

class CapturedRange : public ::testing::TestWithParam<RangeCase> {};

}  // namespace

// The frames written are exactly those whose scene time lies in the range, and each is the
// picture the headless demo shows at that time after rendering every earlier frame of the same
// frame rate: trails, zooms and the swarm's depths carried over from frames that are not written.
TEST_P(CapturedRange, WritesTheRangesFramesAsTheHeadlessDemoDrawsThem) {
    const RangeCase& c = GetParam();
    const ScratchCleanup cleanup{scratch(c.name)};
    const fs::path out = cleanup.dir / "frames";
    capture_png(out, c.options);
    ASSERT_EQ(listed_times(out), c.times);

    const std::vector<uint8_t> frames = decoded_frames(out);
    const size_t width = size_t(kPictureWidth) * c.scale, height = size_t(kPictureHeight) * c.scale;
    const size_t frame_bytes = width * height * 3;
    ASSERT_EQ(frames.size(), c.times.size() * frame_bytes);

    // A sharp capture is the headless demo drawn at the output's size; a scaled one repeats
    // each pixel of the 640 x 480 picture.
    const int repeat = c.sharp ? 1 : c.scale;
    const size_t drawn_width = width / size_t(repeat), drawn_height = height / size_t(repeat);
    if (c.sharp) {
        ASSERT_TRUE(headless::set_picture_size(int(width), int(height)));
    }
    start_headless_demo();
    size_t written = 0;
    for (uint32_t k = 0; written < c.times.size(); ++k) {
        const uint32_t t = uint32_t(uint64_t(k) * 1000 / c.fps);
        render_at(t);
        if (t < c.times.front()) continue;
        ASSERT_EQ(t, c.times[written]);
        std::vector<uint8_t> picture(drawn_width * drawn_height * 4);
        headless::read_pixels(picture.data());
        const uint8_t* frame = frames.data() + written * frame_bytes;
        size_t differing = 0;
        for (size_t y = 0; y < height; ++y)
            for (size_t x = 0; x < width; ++x) {
                // Captured rows are top-down, GL's bottom-up; a scaled pixel repeats its source.
                const uint8_t* want =
                    &picture[((drawn_height - 1 - y / repeat) * drawn_width + x / repeat) * 4];
                const uint8_t* got = frame + (y * width + x) * 3;
                differing += got[0] != want[0] || got[1] != want[1] || got[2] != want[2];
            }
        EXPECT_EQ(differing, 0u) << "frame at t=" << t;
        ++written;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, CapturedRange,
    ::testing::Values(
        // The second zoom: trails at 0.75 and backdrop scales set by earlier frames.
        RangeCase{"zoom", "--fps 10 --start 23000 --end 23300", 10, {23000, 23100, 23200, 23300}, 1},
        // The spinning swarm at 7 fps, doubled with nearest-neighbour scaling: cube depths
        // depend on the 392 frames before; 1000/7 ms does not divide, so times are floored.
        RangeCase{"swarm", "--fps 7 --start 56000 --end 56500 --scale 2 --filter nearest", 7,
                  {56000, 56142, 56285, 56428}, 2},
        // The first words drawn sharp at 1280 x 960, the glyphs rasterized at that size.
        RangeCase{"sharp", "--fps 10 --start 8100 --end 8200 --sharp --size 1280x960", 10, {8100, 8200}, 2, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Capture, SameOptionsGiveIdenticalFramesAndSound) {
    const ScratchCleanup cleanup{scratch("repeat")};
    const fs::path& dir = cleanup.dir;
    // The first caption over the backdrop.
    capture_png(dir / "a", "--fps 20 --start 7900 --end 8200");
    capture_png(dir / "b", "--fps 20 --start 7900 --end 8200");
    std::vector<fs::path> names;
    for (const auto& e : fs::directory_iterator(dir / "a")) names.push_back(e.path().filename());
    ASSERT_EQ(names.size(), 7u + 2u);  // frames at 7900, 7950, ..., 8200, times.txt, audio.wav
    for (const fs::path& name : names) {
        ASSERT_TRUE(fs::exists(dir / "b" / name)) << name;
        EXPECT_EQ(read_bytes(dir / "a" / name), read_bytes(dir / "b" / name)) << name;
    }
}

// The WAV lasts exactly as long as the written frames, rounded to a sample, and holds the song
// from (first frame's time + head start): with no head start from 0 ms it is the song from its
// first row, which sounds at once; a head start cuts that much off the front.
TEST(Capture, SoundIsTheSongFromTheHeadStartForTheFramesLength) {
    const ScratchCleanup cleanup{scratch("sound")};
    const fs::path& dir = cleanup.dir;
    capture_png(dir / "none", "--fps 10 --end 1000 --head-start 0");       // 11 frames, 1.1 s
    capture_png(dir / "ahead", "--fps 10 --end 1000 --head-start 250");
    capture_png(dir / "later", "--fps 24 --start 500 --end 1000 --head-start 100");  // 13 frames
    const std::vector<uint8_t> none = wav_samples(dir / "none" / "audio.wav");
    const std::vector<uint8_t> ahead = wav_samples(dir / "ahead" / "audio.wav");
    const std::vector<uint8_t> later = wav_samples(dir / "later" / "audio.wav");
    ASSERT_EQ(none.size(), 48510u);   // 11 / 10 s at 44,100 Hz
    ASSERT_EQ(ahead.size(), 48510u);
    ASSERT_EQ(later.size(), 23888u);  // 13 / 24 s = 23,887.5 samples, rounded up

    // The song itself, mixed here from its first row on: one row every 3,969 samples (90 ms).
    start_headless_demo();
    std::vector<uint8_t> song(3 * 44100);
    SequencerCursor cursor = {0, 0};
    for (size_t at = 0; at < song.size(); at += 3969) {
        sequencer_play_row(cursor);
        headless::mix(song.data() + at, uint32_t(std::min<size_t>(3969, song.size() - at)));
    }
    EXPECT_TRUE(std::equal(none.begin(), none.end(), song.begin()));
    EXPECT_TRUE(std::equal(ahead.begin(), ahead.end(), song.begin() + 11025));  // 250 ms
    // 500 ms + 100 ms head start: the frame at 500 ms is presented 12/24 s in.
    EXPECT_TRUE(std::equal(later.begin(), later.end(), song.begin() + 26460));

    // The first onset: the song's first row sounds within a few samples of the start.
    size_t onset = 0;
    while (onset < none.size() && std::abs(int(none[onset]) - 128) < 16) ++onset;
    EXPECT_LT(onset, 64u);
}
