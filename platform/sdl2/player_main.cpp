// Entry of the desktop player (the SDL2 program): reads its options, then runs the demo's own
// start-up and frame loop as runtime/main.cpp does. The demo core itself takes no command
// line. Main thread.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/common/frame_stats.h"
#include "platform/common/gl_choice.h"
#include "platform/sdl2/sdl2_player.h"
#include "runtime/runtime.h"

namespace {

const char* program_name(const char* argv0) {
    const char* slash = std::strrchr(argv0, '/');
    return slash != nullptr ? slash + 1 : argv0;
}

void print_help(const char* name) {
    std::printf(
        "Usage: %s [--window] [--sharp] [--gl layer|legacy]\n"
        "\n"
        "Plays %s: 82 seconds of OpenGL scenes and an 8-channel song, all computed at\n"
        "start-up. Full screen unless asked otherwise; the 640x480 picture keeps its 4:3\n"
        "shape with black bars.\n"
        "\n"
        "  -w, --window   play in a resizable window, as large as fits the desktop (at most\n"
        "                 1280x960)\n"
        "      --sharp    draw the picture at the size it is shown at (up to 2880x2160),\n"
        "                 again at each change of the window's size, instead of scaling up\n"
        "                 the classic 640x480 picture\n"
        "      --gl GL    what draws the picture: 'layer' (the default) draws through the\n"
        "                 demo's fixed-function layer on OpenGL ES 3 (or OpenGL 3.3), falling\n"
        "                 back to legacy OpenGL where neither is offered; 'legacy' draws with\n"
        "                 legacy OpenGL (also DEMO_GL=layer or legacy; the option wins)\n"
        "  -h, --help     this text\n"
        "      --version  the version\n"
        "\n"
        "Controls:\n"
        "  Escape            end the demo at once\n"
        "  Alt+Enter, F11    switch between the window and full screen\n"
        "  closing the window ends the demo like Escape; otherwise it ends after 82 seconds\n"
        "\n"
        "Environment: DEMO_FRAME_STATS=1 prints frames per second and frame times per scene at\n"
        "the end.\n"
        "\n"
        "Exit status: 0 played (or ended early), 1 no display or no OpenGL, 2 bad options.\n",
        name, DEMO_TITLE);
}

}  // namespace

int main(int argc, char** argv) {
    const char* name = program_name(argc > 0 ? argv[0] : "demo");
    if (!gl_choice::from_environment(&sdl2_player::gl)) {
        std::fprintf(stderr, "%s: DEMO_GL '%s' %s (see %s --help)\n", name, std::getenv("DEMO_GL"), gl_choice::kRefusal,
                     name);
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "-w") == 0 || std::strcmp(arg, "--window") == 0) {
            sdl2_player::start_in_window = true;
        } else if (std::strcmp(arg, "--sharp") == 0) {
            sdl2_player::sharp = true;
        } else if (std::strcmp(arg, "--gl") == 0 && i + 1 == argc) {
            std::fprintf(stderr, "%s: option '--gl' needs a value (see %s --help)\n", name, name);
            return 2;
        } else if (std::strcmp(arg, "--gl") == 0 || std::strncmp(arg, "--gl=", 5) == 0) {
            const char* value = arg[4] == '=' ? arg + 5 : argv[++i];
            if (!gl_choice::parse(value, &sdl2_player::gl)) {
                std::fprintf(stderr, "%s: --gl '%s' %s (see %s --help)\n", name, value, gl_choice::kRefusal, name);
                return 2;
            }
        } else if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            print_help(name);
            return 0;
        } else if (std::strcmp(arg, "--version") == 0) {
            std::printf("%s %s\n", DEMO_TITLE, DEMO_VERSION);
            return 0;
        } else {
            std::fprintf(stderr, "%s: %s '%s' (see %s --help)\n", name,
                         arg[0] == '-' ? "unknown option" : "unexpected argument", arg, name);
            return 2;
        }
    }
    frame_stats::start();
    platform::DeviceContext dc = start_up();
    run_frame_loop(dc);
}
