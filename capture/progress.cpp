// Progress bar of the capture tool. Capture tool, main thread.
#include "capture/progress.h"

#include <unistd.h>

#include <cstdio>

namespace capture {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBarWidth = 30;          // characters
constexpr double kRedrawSeconds = 0.1;  // at most ten redraws a second

void draw(const Progress& p, uint32_t done) {
    const double elapsed = progress_seconds(p);
    const double rate = elapsed > 0.0 ? done / elapsed : 0.0;
    const int filled = int(double(done) / p.total * kBarWidth);
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    const int left = rate > 0.0 ? int((p.total - done) / rate + 0.5) : 0;
    std::fprintf(stderr, "\r[%s] %u/%u frames  %.1f fps  %.2fx real time  %d:%02d left ", bar, done, p.total,
                 rate, rate / p.fps, left / 60, left % 60);
    std::fflush(stderr);
}

}  // namespace

double progress_seconds(const Progress& p) {
    return std::chrono::duration<double>(Clock::now() - p.begin).count();
}

void progress_start(Progress& p, uint32_t total_frames, uint32_t fps) {
    p.on = isatty(STDERR_FILENO) != 0;
    p.total = total_frames;
    p.fps = fps;
    p.begin = p.last_drawn = Clock::now();
    if (p.on) draw(p, 0);
}

void progress_update(Progress& p, uint32_t done) {
    if (!p.on) return;
    const Clock::time_point now = Clock::now();
    if (done < p.total && std::chrono::duration<double>(now - p.last_drawn).count() < kRedrawSeconds) return;
    p.last_drawn = now;
    draw(p, done);
}

void progress_end(Progress& p, const std::string& summary) {
    if (!p.on) return;
    std::fputc('\n', stderr);
    if (!summary.empty()) std::fprintf(stderr, "%s\n", summary.c_str());
    p.on = false;
}

}  // namespace capture
