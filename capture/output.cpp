// The capture's ffmpeg process and its temporary output. Capture tool, main thread.
#include "capture/output.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/headless/wav.h"
#include "platform/platform.h"

extern char** environ;

namespace capture {

namespace {

// The size of the pictures handed to ffmpeg: the output's own when drawn sharp, else classic.
uint32_t picture_width(const Options& o) { return o.sharp ? o.width : uint32_t(platform::kPictureWidth); }
uint32_t picture_height(const Options& o) { return o.sharp ? o.height : uint32_t(platform::kPictureHeight); }

std::string errno_text() { return std::strerror(errno); }

// "dir/.name.part-PID": hidden, in the same folder so the final rename stays on one file system.
std::string temporary_name(const std::string& path) {
    const std::filesystem::path p(path);
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "." + string.
    std::string name = ".";
    name += p.filename().string();
    name += ".part-";
    name += std::to_string(getpid());
    return (p.parent_path() / name).string();
}

std::vector<std::string> ffmpeg_arguments(const Options& o, const Output& out) {
    std::vector<std::string> a = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
                                  "-f", "rawvideo", "-pixel_format", "rgba",
                                  "-video_size", std::to_string(picture_width(o)) + "x" + std::to_string(picture_height(o)),
                                  "-framerate", std::to_string(o.fps), "-i", "pipe:0"};
    if (out.format != Format::png) a.insert(a.end(), {"-i", out.temp_wav, "-map", "0:v:0", "-map", "1:a:0"});

    // GL rows come bottom-up.
    std::string filter = "vflip";
    if (o.width != picture_width(o) || o.height != picture_height(o)) {
        filter += ",scale=" + std::to_string(o.width) + ":" + std::to_string(o.height) +
                  ":flags=" + (o.smooth ? "bicubic" : "neighbor");
    }
    a.insert(a.end(), {"-vf", filter});

    switch (out.format) {
        case Format::mp4:
            a.insert(a.end(), {"-c:v", "libx264", "-preset", o.preset, "-crf", std::to_string(o.crf),
                               "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "128k",
                               "-movflags", "+faststart", "-f", "mp4", out.temp_path});
            break;
        case Format::lossless:
            a.insert(a.end(), {"-c:v", "ffv1", "-level", "3", "-pix_fmt", "bgr0", "-c:a", "flac",
                               "-f", "matroska", out.temp_path});
            break;
        case Format::png:
            a.insert(a.end(), {"-pix_fmt", "rgb24", "-start_number", "0", "-f", "image2",
                               out.temp_path + "/frame_%05d.png"});
            break;
    }
    return a;
}

bool start_ffmpeg(Output& out, const Options& o, std::string& error) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = "cannot make a pipe: " + errno_text();
        return false;
    }
    // Room for most of a frame, so rendering the next one overlaps ffmpeg reading this one.
    fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    const std::vector<std::string> args = ffmpeg_arguments(o, out);
    std::vector<char*> argv;
    for (const std::string& s : args) argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    // A process group of its own: Ctrl-C reaches only this program, which then stops ffmpeg and
    // cleans up, instead of ffmpeg finishing a half file on its own.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const int rc = posix_spawnp(&out.ffmpeg, "ffmpeg", &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (rc != 0) {
        close(fds[1]);
        out.ffmpeg = -1;
        error = std::string("cannot start ffmpeg: ") + std::strerror(rc);
        return false;
    }
    out.pipe_fd = fds[1];
    return true;
}

// Waits for ffmpeg; true if it exited with 0.
bool wait_ffmpeg(Output& out, std::string& error) {
    if (out.ffmpeg < 0) return true;
    int status = 0;
    pid_t r;
    do r = waitpid(out.ffmpeg, &status, 0);
    while (r < 0 && errno == EINTR);
    out.ffmpeg = -1;
    if (r < 0) {
        error = "lost track of ffmpeg: " + errno_text();
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    if (WIFEXITED(status)) error = "ffmpeg failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    else error = "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
    return false;
}

void remove_temporaries(Output& out) {
    std::error_code ignored;
    if (!out.temp_path.empty()) std::filesystem::remove_all(out.temp_path, ignored);
    if (!out.temp_wav.empty()) std::filesystem::remove(out.temp_wav, ignored);
}

}  // namespace

std::string find_on_path(const char* name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string dirs = path;
    size_t begin = 0;
    while (begin <= dirs.size()) {
        size_t end = dirs.find(':', begin);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = end > begin ? dirs.substr(begin, end - begin) : ".";
        const std::string candidate = dir + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        begin = end + 1;
    }
    return {};
}

bool check_output_path(Format format, const std::string& path, std::string& error) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(path, ec);
    if (format == Format::png) {
        if (std::filesystem::exists(st)) {
            error = "'" + path + "' already exists; the PNG frames go into a new folder";
            return false;
        }
    } else if (std::filesystem::is_directory(st)) {
        error = "'" + path + "' is a folder; give a file name";
        return false;
    }
    return true;
}

bool open_output(Output& out, const Options& options, const std::string& path,
                 const std::vector<uint8_t>& soundtrack, uint32_t rate, std::string& error) {
    out = Output{};
    out.format = options.format;
    out.final_path = path;
    out.temp_path = temporary_name(path);
    out.frame_bytes = size_t(picture_width(options)) * picture_height(options) * 4;

    std::string wav_path;
    if (out.format == Format::png) {
        if (mkdir(out.temp_path.c_str(), 0777) != 0) {
            error = "cannot write '" + path + "': " + errno_text();
            out.temp_path.clear();
            return false;
        }
        wav_path = out.temp_path + "/audio.wav";
    } else {
        // Claims the temporary name now, so an unwritable folder shows before any rendering.
        const int fd = open(out.temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = "cannot write '" + path + "': " + errno_text();
            out.temp_path.clear();
            return false;
        }
        close(fd);
        out.temp_wav = out.temp_path + ".wav";
        wav_path = out.temp_wav;
    }

    if (!wav::write_u8_mono(wav_path.c_str(), soundtrack.data(), uint32_t(soundtrack.size()), rate)) {
        error = "cannot write '" + path + "' (the soundtrack): " + errno_text();
        remove_temporaries(out);
        return false;
    }
    if (!start_ffmpeg(out, options, error)) {
        remove_temporaries(out);
        return false;
    }
    return true;
}

bool write_times(Output& out, const std::vector<uint32_t>& times, std::string& error) {
    const std::string path = out.temp_path + "/times.txt";
    std::FILE* f = std::fopen(path.c_str(), "w");
    bool ok = f != nullptr;
    if (ok) {
        std::fputs("# frame file, scene time in ms\n", f);
        for (size_t i = 0; i < times.size(); ++i) std::fprintf(f, "frame_%05zu.png %u\n", i, times[i]);
        ok = std::fclose(f) == 0 && ok;
    }
    if (!ok) error = "cannot write '" + path + "': " + errno_text();
    return ok;
}

bool write_frame(Output& out, const uint8_t* rgba, std::string& error) {
    size_t done = 0;
    while (done < out.frame_bytes) {
        const ssize_t n = write(out.pipe_fd, rgba + done, out.frame_bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = "ffmpeg stopped taking frames (" + errno_text() + ")";
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool finish_output(Output& out, std::string& error) {
    if (out.pipe_fd >= 0) close(out.pipe_fd);
    out.pipe_fd = -1;
    if (!wait_ffmpeg(out, error)) {
        remove_temporaries(out);
        return false;
    }
    std::error_code ignored;
    if (!out.temp_wav.empty()) std::filesystem::remove(out.temp_wav, ignored);
    out.temp_wav.clear();
    if (std::rename(out.temp_path.c_str(), out.final_path.c_str()) != 0) {
        error = "cannot write '" + out.final_path + "': " + errno_text();
        remove_temporaries(out);
        return false;
    }
    out.temp_path.clear();
    return true;
}

void abandon_output(Output& out, std::string* why) {
    if (out.pipe_fd >= 0) close(out.pipe_fd);
    out.pipe_fd = -1;
    if (out.ffmpeg > 0) {
        if (why == nullptr) kill(out.ffmpeg, SIGTERM);
        std::string status;
        if (!wait_ffmpeg(out, status) && why != nullptr) *why = status;
    }
    remove_temporaries(out);
}

}  // namespace capture
