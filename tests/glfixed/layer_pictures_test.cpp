// The fixed-function GL layer against legacy GL on the native headless renderer, no browser:
// web_reference draws frames 0, 50, 100 ... in one pass once on the legacy GL context and once on
// the layer (DEMO_GL=layer, OpenGL ES 3), side by side, keeping the picture at each scene time.
// Outside the words at least 99.99 % of the pixels must lie within 8 levels per channel (the
// layer splits the tube's and coil's quads as legacy GL does; 3 pixels in 300,000 differ more). Inside
// the words (at the glyph pixels legacy GL draws) each word must be the one shade OpenGL 1.1
// gives a bitmap: the caption colour times the noise texel, filtered bilinearly, at the raster
// position's texture coordinates, worked out from the texture's definition (caption_frames).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/caption_frames.h"
#include "tests/support/headless_demo.h"

extern char** environ;

namespace {

constexpr uint32_t kTimes[] = {5000, 8150, 16500, 24000, 52000, 75000, 80000};  // ms
// Every 10 ms frame goes through the same layer in the browser's long pass (e2e.web.pictures);
// here a frame in five is enough to hold the layer to legacy GL at the same scene times.
constexpr uint32_t kStep = 50;           // ms between frames; each of kTimes a multiple
constexpr uint32_t kWordFrame = 8150;    // "i", "become" and "a bad" with the strokes behind them
constexpr double kMatchShare = 0.9999;   // of the pixels outside the words
constexpr int kTolerance = 8;            // levels per channel
constexpr double kShadeTolerance = 2.0;  // levels: the GPU's filter weights are coarser than exact
constexpr int kPixels = test_support::kPictureWidth * test_support::kPictureHeight;

std::filesystem::path output_folder() {
    const char* dir = std::getenv("DEMO_TEST_ARTIFACTS");
    return std::filesystem::path(dir != nullptr ? dir : testing::TempDir()) / "layer_pictures";
}

// Starts web_reference on `gl` ("legacy" or "layer") writing into folder; its output in a log.
pid_t start_renderer(const std::string& gl, const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::string times;
    for (uint32_t t : kTimes) {
        if (!times.empty()) times += ',';
        times += std::to_string(t);
    }
    const std::string step = std::to_string(kStep), dir = folder.string();
    const char* argv[] = {WEB_REFERENCE, "frames", step.c_str(), times.c_str(), dir.c_str(), nullptr};

    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "DEMO_GL=", 8) != 0) env_strings.emplace_back(*e);
    env_strings.push_back("DEMO_GL=" + gl);
    std::vector<char*> env;
    for (std::string& s : env_strings) env.push_back(s.data());
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = (folder / "run.log").string();
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, WEB_REFERENCE, &actions, nullptr, const_cast<char**>(argv), env.data());
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Waits for the renderer; true when it drew every frame.
bool finished(pid_t pid, const std::filesystem::path& folder) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return false;
    std::printf("%s:\n%s", folder.filename().c_str(), read_file(folder / "run.log").c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The level of a white word's pixels: the noise texel at s = 0.1 X of the raster position, X in
// single precision from the position byte as the caption pass computes it, (2x / 640 - 0.6) x 3.
double white_word_level(int x_byte, double t) {
    const float x = (float(2 * x_byte) * 0.0015625f - 0.6f) * 3.0f;
    return caption_frames::noise_bilinear(double(0.1f * x), t);
}

}  // namespace

TEST(LayerPictures, MatchLegacyGlAfterTheSameFrames) {
    const std::filesystem::path legacy_dir = output_folder() / "legacy", layer_dir = output_folder() / "layer";
    const pid_t legacy_run = start_renderer("legacy", legacy_dir);
    const pid_t layer_run = start_renderer("layer", layer_dir);
    const bool legacy_ok = finished(legacy_run, legacy_dir);
    const bool layer_ok = finished(layer_run, layer_dir);
    ASSERT_TRUE(legacy_ok) << "legacy GL run failed";
    ASSERT_TRUE(layer_ok) << "layer run failed";

    for (uint32_t t : kTimes) {
        const std::string name = std::to_string(t);
        const std::string legacy = read_file(legacy_dir / ("frame_" + name + ".rgba"));
        const std::string layer = read_file(layer_dir / ("frame_" + name + ".rgba"));
        const std::string words = read_file(legacy_dir / ("words_" + name + ".u8"));
        ASSERT_EQ(legacy.size(), size_t(kPixels) * 4) << t;
        ASSERT_EQ(layer.size(), size_t(kPixels) * 4) << t;
        ASSERT_EQ(words.size(), size_t(kPixels)) << t;
        const auto* a = reinterpret_cast<const uint8_t*>(legacy.data());
        const auto* b = reinterpret_cast<const uint8_t*>(layer.data());
        test_support::save_png("layer_pictures_legacy_" + name, a);
        test_support::save_png("layer_pictures_layer_" + name, b);

        int compared = 0, close = 0, worst = 0;
        for (int p = 0; p < kPixels; ++p) {
            if (words[size_t(p)] != 0) continue;
            int d = 0;
            for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int(a[4 * p + c]) - int(b[4 * p + c])));
            ++compared;
            close += d <= kTolerance;
            worst = std::max(worst, d);
        }
        const double share = double(close) / compared;
        std::printf("t=%u: %.3f %% of %d pixels within %d levels (largest difference %d)\n", t, 100 * share,
                    compared, kTolerance, worst);
        EXPECT_GE(share, kMatchShare) << "t = " << t;
        if (t != kWordFrame) continue;

        // The words: the strokes were drawn first (captions 0 to 19 are active), so t is theirs.
        const double stroke_t = caption_frames::last_stroke_t();
        int words_checked = 0;
        for (int i = 0; i < 21; ++i) {
            const caption_frames::Caption& c = caption_frames::kCaptions[i];
            if (!(c.start < t && t < c.end) || c.word[0] == '\0') continue;
            ASSERT_FALSE(c.black) << "the name is not due at " << t;
            const double expected = white_word_level(c.x, stroke_t);
            int count = 0, low = 255, high = 0;
            double sum = 0;
            for (int p = 0; p < kPixels; ++p) {
                if (words[size_t(p)] != uint8_t(i + 1)) continue;
                ++count;
                for (int ch = 0; ch < 3; ++ch) {
                    low = std::min(low, int(b[4 * p + ch]));
                    high = std::max(high, int(b[4 * p + ch]));
                    sum += b[4 * p + ch];
                }
            }
            std::printf("  \"%s\": %d glyph pixels, levels %d..%d, expected %.2f\n", c.word, count, low, high, expected);
            EXPECT_GT(count, 100) << c.word << ": legacy GL shows too little of the word to compare";
            EXPECT_LE(high - low, 1) << c.word << " is not one shade";
            if (count > 0) {
                EXPECT_NEAR(sum / (3.0 * count), expected, kShadeTolerance) << c.word;
            }
            ++words_checked;
        }
        EXPECT_EQ(words_checked, 3) << "\"i\", \"become\" and \"a bad\" are due at 8150 ms";
    }
}
